# Shared by the benchmark scripts: the optimised native tree and the native service.
# Callers set: top (the checkout), dir (the benchmark's work folder).
log() { echo "bench: $*" >&2; }

# Seconds of the monotonic clock, which durations are measured on: the wall clock of this
# machine can step while a benchmark runs.
mono() { /usr/bin/python3 -c 'import time; print("%.3f" % time.monotonic())'; }

# bench_build KIND [cmake args]: an optimised tree (no sanitizers) in $dir/KIND with the service
# and the handheld simulator.
bench_build() {
  local tree="$dir/$1"; shift
  # A tree configured from another checkout is made afresh.
  if ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$top" "$tree/CMakeCache.txt" 2>/dev/null; then
    rm -rf "$tree"
    cmake -S "$top" -B "$tree" -DCMAKE_BUILD_TYPE=Release -DVELORA_TESTS=OFF "$@" >/dev/null || return 1
  fi
  cmake --build "$tree" -j "$(nproc)" --target VeloraService velora-handheld >/dev/null || return 1
}

# A device identifier of GUID form for device number N.
guid() { printf '%08X-0000-4000-8000-%012X' "$1" "$1"; }

# write_config FOLDER PORT FIRST LAST: config.xml with devices FIRST..LAST in folders PPCnnnn.
write_config() {
  {
    printf '<?xml version="1.0" encoding="UTF-8"?>\r\n<VeloraServer VERSION="1.0">\r\n'
    printf '\t<ServerConfig PortExternal="%d" />\r\n' "$2"
    for i in $(seq "$3" "$4"); do printf '\t<PPC DEVICE_ID="%s" PSEUDONIM="Agent%d" DIRECTORY="PPC%04d" />\r\n' "$(guid $i)" $i $i; done
    printf '</VeloraServer>\r\n'
  } > "$1/config.xml"
}

# start_native_service SERVICE EXCHANGE-FOLDER: runs it in debug mode with its parameters in
# params.ini beside the exchange folder; sets svc to its process id; fails when it does not
# start within 10 s.
start_native_service() {
  local beside=$(dirname "$2")
  export VELORA_PARAMS="$beside/params.ini"
  printf '[SYSTEM\\CurrentControlSet\\Services\\VeloraService\\Parameters\\Exchange]\nExchFolder=sz:%s\n' "$2" > "$VELORA_PARAMS"
  "$1" -debug >"$beside/service.out" 2>&1 &
  svc=$!
  for k in $(seq 1 100); do grep -q "Service started!" "$2/log.txt" 2>/dev/null && return 0; sleep 0.1; done
  echo "bench: the native service did not start:" >&2; cat "$beside/service.out" >&2
  return 1
}
