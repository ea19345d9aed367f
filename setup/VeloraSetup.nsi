; VeloraSetup.exe: installs the control panel, the 32-bit 1C component (registered with the
; 32-bit regsvr32), the handheld simulator, the 1C host emulator, the device emulator (in a
; folder of its own, so that nothing loads it by chance), the log opener and the documents
; into one folder, with Start-menu entries and an uninstaller. Silent with /S. Installing over an
; earlier installation replaces the files in place; a running service is stopped for it,
; given the new service program and started again.
; Built by CMake: makensis -DVERSION=a.b.c.d -DOUT=<setup exe> and the path of every file it
; carries: -DCTRL, -DADDIN, -DHANDHELD, -DHOST1C, -DRAPI, -DLOGVIEW, -DDEVICES, -DGUIDE, -DREFERENCE, -DSERVICE.
Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "StrFunc.nsh"
${StrStr}
${UnStrStr}

!define PRODUCT "Velora СОД"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velora"
!define SERVICE "VeloraService"

Name "${PRODUCT}"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES32\Velora"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Velora"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "CompanyName" "Velora"
VIAddVersionKey /LANG=1049 "FileDescription" "Velora: установка службы обмена данными с КПК"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "© Velora"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Var serviceWasRunning

; The service program as the Service Control Manager starts it: in the real system folder,
; which a 32-bit setup reaches with the file system redirection turned off.
!macro ServiceExe VAR
  StrCpy ${VAR} "$WINDIR\System32\${SERVICE}.exe"
!macroend

; Stops the service if it runs and waits up to 60 s for it to stop; $0 is 1 when it had been
; running. WHICH names the substring search of the installer or of the uninstaller.
!macro StopService WHICH
  StrCpy $0 0
  nsExec::ExecToStack '"$SYSDIR\sc.exe" stop ${SERVICE}'
  Pop $1
  Pop $2
  ${If} $1 == 0
    StrCpy $0 1
    DetailPrint "Остановка службы ${SERVICE}..."
    StrCpy $4 0
    ${Do}
      Sleep 500
      IntOp $4 $4 + 1
      nsExec::ExecToStack '"$SYSDIR\sc.exe" query ${SERVICE}'
      Pop $1
      Pop $2
      !if "${WHICH}" == "UnStrStr"
        ${UnStrStr} $5 $2 "STOPPED"
      !else
        ${StrStr} $5 $2 "STOPPED"
      !endif
      ${IfThen} $5 != "" ${|} ${ExitDo} ${|}
    ${LoopUntil} $4 >= 120
    ; The service's process lets go of its program a moment after it reports STOPPED.
    Sleep 1000
  ${EndIf}
!macroend

Section "Velora"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  !insertmacro StopService StrStr
  StrCpy $serviceWasRunning $0
  File "${CTRL}"
  File "${ADDIN}"
  File "${HANDHELD}"
  File "${HOST1C}"
  File "${LOGVIEW}"
  File "${DEVICES}"
  File "${GUIDE}"
  File "${REFERENCE}"
  SetOutPath "$INSTDIR\rapi"
  File "${RAPI}"
  SetOutPath "$INSTDIR"
  ; An installed service gets the new program; the control panel carries the same one.
  nsExec::ExecToStack '"$SYSDIR\sc.exe" query ${SERVICE}'
  Pop $1
  Pop $2
  ${If} $1 == 0
    ${DisableX64FSRedirection}
    !insertmacro ServiceExe $3
    SetOverwrite on
    File "/oname=$3" "${SERVICE_EXE}"
    ${EnableX64FSRedirection}
    DetailPrint "Программа службы обновлена: $3"
    ; A copy in the 32-bit system folder (an older control panel wrote it there, and Wine
    ; starts a service created by a 32-bit program from there) gets the new program too.
    ${If} ${RunningX64}
    ${AndIf} ${FileExists} "$SYSDIR\${SERVICE}.exe"
      File "/oname=$SYSDIR\${SERVICE}.exe" "${SERVICE_EXE}"
    ${EndIf}
  ${EndIf}
  ${If} $serviceWasRunning == 1
    nsExec::ExecToStack '"$SYSDIR\sc.exe" start ${SERVICE}'
    Pop $1
    Pop $2
  ${EndIf}

  ; The 1C component: the 32-bit regsvr32 (a 32-bit setup's system folder is the 32-bit one).
  ExecWait '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\VeloraAddIn.dll"' $1
  ${If} $1 != 0
    DetailPrint "Не удалось зарегистрировать VeloraAddIn.dll (код $1)"
    SetErrorLevel 2
  ${EndIf}

  CreateDirectory "$SMPROGRAMS\Velora"
  CreateShortcut "$SMPROGRAMS\Velora\Панель управления Velora.lnk" "$INSTDIR\VeloraServerCtrl.exe"
  CreateShortcut "$SMPROGRAMS\Velora\Руководство администратора.lnk" "$INSTDIR\guide.html"
  CreateShortcut "$SMPROGRAMS\Velora\Журнал службы Velora.lnk" "$INSTDIR\velora-log.exe"
  CreateShortcut "$SMPROGRAMS\Velora\Справочник программиста 1С.lnk" "$INSTDIR\reference.html"
  CreateShortcut "$SMPROGRAMS\Velora\Удалить Velora.lnk" "$INSTDIR\uninstall.exe"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Velora"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\VeloraServerCtrl.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The service goes first (stopped, removed from the Service Control Manager, its program
; deleted); the exchange folder, its config.xml and the handhelds' data are not touched.
Section "Uninstall"
  SetShellVarContext all
  !insertmacro StopService UnStrStr
  nsExec::ExecToStack '"$SYSDIR\sc.exe" delete ${SERVICE}'
  Pop $1
  Pop $2
  ${DisableX64FSRedirection}
  !insertmacro ServiceExe $3
  Delete "$3"
  ${EnableX64FSRedirection}
  ${If} ${RunningX64}
    Delete "$SYSDIR\${SERVICE}.exe"
  ${EndIf}
  ExecWait '"$SYSDIR\regsvr32.exe" /s /u "$INSTDIR\VeloraAddIn.dll"'
  Delete "$INSTDIR\VeloraServerCtrl.exe"
  Delete "$INSTDIR\VeloraAddIn.dll"
  Delete "$INSTDIR\velora-handheld.exe"
  Delete "$INSTDIR\host1c.exe"
  Delete "$INSTDIR\velora-log.exe"
  Delete "$INSTDIR\velora-devices.exe"
  Delete "$INSTDIR\guide.html"
  Delete "$INSTDIR\reference.html"
  Delete "$INSTDIR\rapi\rapi.dll"
  RMDir "$INSTDIR\rapi"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Velora\Панель управления Velora.lnk"
  Delete "$SMPROGRAMS\Velora\Руководство администратора.lnk"
  Delete "$SMPROGRAMS\Velora\Журнал службы Velora.lnk"
  Delete "$SMPROGRAMS\Velora\Справочник программиста 1С.lnk"
  Delete "$SMPROGRAMS\Velora\Удалить Velora.lnk"
  RMDir "$SMPROGRAMS\Velora"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
