// The zip methods through the host emulator: their result codes, the pending list, the
// password, and unpacking into a folder that cannot be entered. Archives read and written
// by other tools are checked by zip_interop.py.
#include "addin_fixture.h"
#include "exchange_folder.h"

namespace {
enum { kZipPack = 20, kZipUnPack = 21, kZipSetPassword = 22, kZipClear = 23, kZipAdd = 24, kErrDescription = 9 };

class Zip : public AddInTest {
 protected:
  void SetUp() override {
    AddInTest::SetUp();
    ASSERT_TRUE(dir.Write(L"a.txt", "first file\r\n"));
    ASSERT_TRUE(dir.Write(L"b.bin", std::string("\0\1\2\3 binary", 12)));
  }
  long Add(const Variant& name, const Variant& path) { return Func(kZipAdd, {name, path}); }
  long Pack(const std::wstring& archive, const Variant& list = Variant(0L)) {
    return Func(kZipPack, {Variant(dir.File(archive)), list});
  }
  // Into a folder below the scratch folder, made first.
  long Unpack(const std::wstring& archive, const std::wstring& folder) {
    CreateDirectoryW(dir.File(folder).c_str(), nullptr);
    return Func(kZipUnPack, {Variant(dir.File(archive)), Variant(dir.File(folder))});
  }
  void SetPassword(const std::wstring& password) { ASSERT_EQ(S_OK, CallProc(kZipSetPassword, {Variant(password)})); }
  std::wstring Text(long code) {
    Variant text;
    EXPECT_EQ(S_OK, CallFunc(kErrDescription, {Variant(code)}, text));
    return text.String();
  }

  ExchangeFolder dir{L"zip"};
};

TEST_F(Zip, ZipAddChecksItsParametersAndTheSource) {
  struct Case {
    const char* what;
    Variant name, path;
    long code;
  } cases[] = {
      {"missing source, name from the path", Variant(0L), Variant(dir.File(L"nope.txt")), 2},
      {"missing source, empty name", Variant(L""), Variant(dir.File(L"nope.txt")), 2},
      {"one-character name", Variant(L"x"), Variant(dir.File(L"a.txt")), 100},
      {"two-character name", Variant(L"xy"), Variant(dir.File(L"a.txt")), 100},
      {"512-character name", Variant(std::wstring(512, L'n')), Variant(dir.File(L"a.txt")), 100},
      {"two-character path", Variant(L"a.txt"), Variant(L"C:"), 100},
      {"path not a string", Variant(L"a.txt"), Variant(5L), 100},
      {"name of another type", Variant(1.5), Variant(dir.File(L"a.txt")), 100},
      {"explicit name, the source is not looked at", Variant(L"later.txt"), Variant(dir.File(L"nope.txt")), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.code, Add(c.name, c.path)) << c.what;
  // Only the last case entered the list: its source is missing when packing.
  EXPECT_EQ(51, Pack(L"out.zip"));
  EXPECT_FALSE(dir.Exists(L"out.zip")) << "nothing was added, so no archive was begun";
  EXPECT_EQ(L"Файл-источник является директорией", Text(2));
  EXPECT_EQ(L"Ошибка создания архива", Text(50));
}

TEST_F(Zip, NothingToPackAndAMalformedListCreateNoArchive) {
  EXPECT_EQ(100, Pack(L"empty.zip", Variant(L"")));
  EXPECT_EQ(100, Pack(L"empty.zip"));
  EXPECT_FALSE(dir.Exists(L"empty.zip"));
  EXPECT_EQ(53, Pack(L"bad.zip", Variant(L"name-without-path")));
  EXPECT_FALSE(dir.Exists(L"bad.zip"));
  EXPECT_EQ(100, Func(kZipPack, {Variant(7L), Variant(0L)})) << "archive path not a string";
  EXPECT_EQ(100, Pack(L"x.zip", Variant(2.0))) << "list neither string nor number";
  EXPECT_EQ(100, Pack(std::wstring(300, L'p') + L".zip")) << "archive path over 259 characters";
  // A second pair without its path: the first entry stays in the archive, which is closed.
  EXPECT_EQ(53, Pack(L"half.zip", Variant(L"one.txt\t" + dir.File(L"a.txt") + L"\ttwo.txt")));
  ASSERT_TRUE(dir.Exists(L"half.zip"));
  ASSERT_EQ(0, Unpack(L"half.zip", L"half"));
  EXPECT_EQ("first file\r\n", dir.Read(L"half\\one.txt"));
  EXPECT_FALSE(dir.Exists(L"half\\two.txt"));
}

TEST_F(Zip, APendingListPackEmptiesTheListAListModePackKeepsIt) {
  ASSERT_EQ(0, Add(Variant(0L), Variant(dir.File(L"a.txt"))));
  ASSERT_EQ(0, Pack(L"list.zip", Variant(L"b.bin\t" + dir.File(L"b.bin"))));
  ASSERT_EQ(0, Pack(L"pending.zip")) << "the list-mode pack kept the pending entry";
  ASSERT_EQ(0, Unpack(L"pending.zip", L"p"));
  EXPECT_EQ("first file\r\n", dir.Read(L"p\\a.txt"));
  EXPECT_FALSE(dir.Exists(L"p\\b.bin"));
  EXPECT_EQ(100, Pack(L"again.zip")) << "a successful pending-list pack empties the list";

  // A pending entry whose source vanished fails the pack, and the list is emptied anyway.
  ASSERT_TRUE(dir.Write(L"gone.txt", "soon gone"));
  ASSERT_EQ(0, Add(Variant(0L), Variant(dir.File(L"a.txt"))));
  ASSERT_EQ(0, Add(Variant(0L), Variant(dir.File(L"gone.txt"))));
  dir.Remove(L"gone.txt");
  EXPECT_EQ(51, Pack(L"failed.zip"));
  EXPECT_EQ(100, Pack(L"after.zip"));
  EXPECT_FALSE(dir.Exists(L"after.zip"));

  ASSERT_EQ(0, Add(Variant(0L), Variant(dir.File(L"a.txt"))));
  ASSERT_EQ(S_OK, CallProc(kZipClear, {}));
  EXPECT_EQ(100, Pack(L"cleared.zip"));
}

TEST_F(Zip, PasswordsAndUnpackingFaults) {
  ASSERT_TRUE(dir.Write(L"dest\\a.txt", "kept"));
  SetPassword(L"секрет");
  ASSERT_EQ(0, Pack(L"locked.zip", Variant(L"a.txt\t" + dir.File(L"a.txt"))));
  SetPassword(L"другой");
  EXPECT_EQ(55, Unpack(L"locked.zip", L"dest"));
  SetPassword(L"");
  EXPECT_EQ(55, Unpack(L"locked.zip", L"dest"));
  EXPECT_EQ("kept", dir.Read(L"dest\\a.txt")) << "a failed entry overwrites nothing";
  SetPassword(L"секрет");
  EXPECT_EQ(0, Unpack(L"locked.zip", L"dest"));
  EXPECT_EQ("first file\r\n", dir.Read(L"dest\\a.txt"));
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_EQ(dir.File(L"dest"), std::wstring(current)) << "the destination stays the current directory";

  // Longer than the 127 bytes kept: the password is cut there, on packing and unpacking.
  std::wstring longPassword;
  for (int i = 0; i < 300; ++i) longPassword += wchar_t(L'a' + i % 26);
  SetPassword(longPassword);
  ASSERT_EQ(0, Pack(L"long.zip", Variant(L"a.txt\t" + dir.File(L"a.txt"))));
  SetPassword(longPassword.substr(0, 127));
  EXPECT_EQ(0, Unpack(L"long.zip", L"long"));
  SetPassword(longPassword.substr(0, 126));
  EXPECT_EQ(55, Unpack(L"long.zip", L"long"));

  // A destination that cannot be entered: an error, and nothing lands in the current folder.
  SetPassword(L"");
  ASSERT_EQ(0, Pack(L"plain.zip", Variant(L"plain.txt\t" + dir.File(L"a.txt"))));
  ASSERT_TRUE(SetCurrentDirectoryW(dir.Path().c_str()));
  EXPECT_EQ(6, Func(kZipUnPack, {Variant(dir.File(L"plain.zip")), Variant(dir.File(L"no-such-folder"))}));
  EXPECT_EQ(6, Func(kZipUnPack, {Variant(dir.File(L"plain.zip")), Variant(dir.File(L"a.txt"))}));
  EXPECT_FALSE(dir.Exists(L"plain.txt"));
  EXPECT_EQ(54, Unpack(L"missing.zip", L"dest"));
  EXPECT_EQ(54, Unpack(L"a.txt", L"dest")) << "not an archive";
  EXPECT_EQ(100, Func(kZipUnPack, {Variant(dir.File(L"plain.zip")), Variant(0L)}));
}
}  // namespace
