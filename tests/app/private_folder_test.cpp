// The installer wrapper's private folder: always a new folder of its own,
// never one that was there before (whatever stands at the name drawn), open
// to the user, SYSTEM and Administrators only where the file system keeps
// that; and its removal takes everything inside it, links as links, and
// nothing beside it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/private_folder.h"
#include "app/private_folder_access.h"
#include "extract/extract_status.h"
#include "import_hook.h"

namespace {

// The random numbers the stub draws, scripted: each call takes the next pair.
std::vector<DWORD> g_random;
size_t g_drawn = 0;

BOOLEAN WINAPI ScriptedRandom(PVOID buffer, ULONG size) {
  DWORD* out = static_cast<DWORD*>(buffer);
  for (ULONG i = 0; i < size / sizeof(DWORD); ++i) out[i] = g_random[g_drawn++ % g_random.size()];
  return TRUE;
}

// Whether every ACE of the path's DACL is for the running user, SYSTEM or
// the Administrators.
bool OnlyUserSystemAndAdministrators(const char* path) {
  alignas(4) char descriptor[2048];
  DWORD needed = 0;
  if (!GetFileSecurityA(path, DACL_SECURITY_INFORMATION, descriptor, sizeof descriptor, &needed)) return false;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || dacl == nullptr)
    return false;
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  alignas(4) char user[256];
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, user, sizeof user, &size);
  CloseHandle(token);
  PSID userSid = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) return false;
    PSID sid = &ace->SidStart;
    if (!EqualSid(sid, userSid) && !IsWellKnownSid(sid, WinLocalSystemSid) &&
        !IsWellKnownSid(sid, WinBuiltinAdministratorsSid))
      return false;
  }
  return true;
}

std::string NameFor(DWORD high, DWORD low) {
  char name[32];
  wsprintfA(name, "kaito-%08lx%08lx", high, low);
  return name;
}

class PrivateFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool hooked = false;
    if (!hooked) {
      ASSERT_NE(HookImport("advapi32.dll", "SystemFunction036", reinterpret_cast<void*>(ScriptedRandom)),
                nullptr);
      hooked = true;
    }
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    parent_ = std::string(temp) + "kaito-private-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(parent_.c_str(), nullptr);
    g_drawn = 0;
  }
  void TearDown() override { RemovePrivateFolder(parent_.c_str()); }
  bool Exists(const std::string& path) const { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
  void Write(const std::string& path, const char* text) const {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
  }
  std::string parent_;
};

TEST_F(PrivateFolderTest, NameThatExistsIsPassedOverWhateverStandsThere) {
  g_random = {0x11111111, 0x22222222, 0x33333333, 0x44444444, 0x55555555, 0x66666666};
  const std::string folderFirst = parent_ + NameFor(0x11111111, 0x22222222);
  const std::string fileSecond = parent_ + NameFor(0x33333333, 0x44444444);
  ASSERT_TRUE(CreateDirectoryA(folderFirst.c_str(), nullptr));
  Write(folderFirst + "\\planted.dll", "planted");
  Write(fileSecond, "planted");

  char folder[kPathBufferSize];
  lstrcpyA(folder, parent_.c_str());
  ASSERT_TRUE(CreatePrivateFolder(folder));
  EXPECT_EQ(std::string(folder), parent_ + NameFor(0x55555555, 0x66666666) + "\\");
  EXPECT_EQ(g_drawn, 6u);

  // Only the user, SYSTEM and Administrators may use it, while a folder made
  // beside it in the ordinary way lets everyone read (Wine shows a folder's
  // Unix permissions as such a list).
  EXPECT_TRUE(OnlyUserSystemAndAdministrators(folder));
  EXPECT_FALSE(OnlyUserSystemAndAdministrators(folderFirst.c_str()));

  // Everything that stood there before is as it was.
  EXPECT_TRUE(Exists(folderFirst + "\\planted.dll"));
  EXPECT_FALSE(GetFileAttributesA(fileSecond.c_str()) & FILE_ATTRIBUTE_DIRECTORY);

  // Every name taken: the folder is left as it was given, and nothing is made.
  g_random = {0x11111111, 0x22222222};
  lstrcpyA(folder, parent_.c_str());
  EXPECT_FALSE(CreatePrivateFolder(folder));
  EXPECT_STREQ(folder, parent_.c_str());
}

TEST_F(PrivateFolderTest, RemovalTakesTheWholeTreeAndNothingBeside) {
  g_random = {0xABCDEF01, 0x23456789};
  char folder[kPathBufferSize];
  lstrcpyA(folder, parent_.c_str());
  ASSERT_TRUE(CreatePrivateFolder(folder));
  const std::string root = folder;
  CreateDirectoryA((root + "a").c_str(), nullptr);
  CreateDirectoryA((root + "a\\b").c_str(), nullptr);
  Write(root + "a\\b\\deep.txt", "x");
  Write(root + "top.txt", "x");
  Write(root + "read-only.txt", "x");
  SetFileAttributesA((root + "read-only.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  Write(parent_ + "beside.txt", "keep");

  RemovePrivateFolder(folder);
  EXPECT_FALSE(Exists(root)) << "the folder and all in it are gone";
  EXPECT_TRUE(Exists(parent_ + "beside.txt"));
}

// The descriptor's bytes, as the system reads them: revision, control, one
// ACL of three full-access ACEs inherited by files and folders.
TEST(PrivateFolderAccess, DescriptorLayout) {
  const uint8_t user[] = {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0xE9, 3, 0, 0};
  uint8_t bytes[kPrivateFolderDescriptorCapacity];
  const size_t size = BuildPrivateFolderDescriptor(user, sizeof user, bytes);
  ASSERT_EQ(size, 20u + 8 + (8 + sizeof user) + (8 + 12) + (8 + 16));
  EXPECT_TRUE(IsValidSecurityDescriptor(bytes));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(bytes, &control, &revision));
  EXPECT_EQ(control & (SE_DACL_PRESENT | SE_DACL_PROTECTED | SE_SELF_RELATIVE),
            SE_DACL_PRESENT | SE_DACL_PROTECTED | SE_SELF_RELATIVE);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(bytes, &present, &dacl, &defaulted));
  ASSERT_TRUE(IsValidAcl(dacl));
  ASSERT_EQ(dacl->AceCount, 3);
  for (DWORD i = 0; i < 3; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(ace->Mask, static_cast<DWORD>(FILE_ALL_ACCESS));
  }
  ACCESS_ALLOWED_ACE* first = nullptr;
  GetAce(dacl, 0, reinterpret_cast<void**>(&first));
  EXPECT_TRUE(EqualSid(&first->SidStart, const_cast<uint8_t*>(user)));

  EXPECT_EQ(BuildPrivateFolderDescriptor(user, sizeof user - 1, bytes), 0u) << "a SID cut short";
  const uint8_t tooMany[] = {1, 16, 0, 0, 0, 0, 0, 5};
  EXPECT_EQ(BuildPrivateFolderDescriptor(tooMany, sizeof tooMany, bytes), 0u);
}

}  // namespace
