// The Windows side of the platform layer, in-process: how open failures,
// statuses and files behave with the Win32 API.
#include <windows.h>

#include <cctype>
#include <utility>

#include <gtest/gtest.h>

#include "core/condition.hpp"
#include "driver/file_handle.hpp"
#include "driver/system.hpp"
#include "windows_support.hpp"

namespace wsphere::windows_testing {
namespace {

TEST(WindowsPlatform, OpenFailuresFromWindowsErrorCodes) {
  const struct {
    DWORD error;
    Msg msg;
  } cases[] = {
      {ERROR_ACCESS_DENIED, Msg::permission_denied},  {ERROR_WRITE_PROTECT, Msg::permission_denied},
      {ERROR_INVALID_NAME, Msg::file_name_error},     {ERROR_BAD_PATHNAME, Msg::file_name_error},
      {ERROR_FILENAME_EXCED_RANGE, Msg::file_name_error}, {ERROR_PATH_NOT_FOUND, Msg::open_failure},
      {ERROR_SHARING_VIOLATION, Msg::open_failure},   {ERROR_TOO_MANY_OPEN_FILES, Msg::open_failure},
      {ERROR_DISK_FULL, Msg::open_failure},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(open_failure_message(c.error), c.msg) << "error " << c.error;
  }
}

TEST(WindowsPlatform, StatusesAreTheFullConditionValues) {
  const struct {
    Msg msg;
    DWORD status;
  } cases[] = {
      {Msg::end_of_file, 3221225496u},     {Msg::syntax_error, 3221225531u},
      {Msg::input_conversion, 3221225536u}, {Msg::permission_denied, 3221225481u},
      {Msg::open_failure, 3221225502u},    {Msg::file_name_error, 3221225515u},
      {Msg::write_read_only, 3221225519u}, {Msg::bounds_exceeded, 3221225633u},
      {Msg::write_failure, 0xC0000026u},   {Msg::read_failure, 0xC0000027u},
      {Msg::out_of_memory, 0xC0000029u},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<DWORD>(severe_status(c.msg)), c.status) << static_cast<int>(c.msg);
  }
  EXPECT_EQ(static_cast<DWORD>(interrupt_status(CTRL_C_EVENT)), 0xC000013Au);
  EXPECT_EQ(interrupt_status(CTRL_BREAK_EVENT), 1);
  EXPECT_EQ(interrupt_status(CTRL_CLOSE_EVENT), 2);
  EXPECT_EQ(kMathErrorStatus, 3);
}

TEST(WindowsPlatform, FullPathHasDriveAndBackslashes) {
  const std::string path = full_path("input.txt");
  ASSERT_GT(path.size(), 12u);
  EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(path[0]))) << path;
  EXPECT_EQ(path.substr(1, 2), ":\\") << path;
  EXPECT_EQ(path.substr(path.size() - 10), "\\input.txt") << path;
  EXPECT_EQ(path.find('/'), std::string::npos) << path;
}

TEST(WindowsPlatform, MissingFileIsCreatedEmptyAndReadsNothing) {
  TempFolder folder;
  FileHandle file(1, folder / "input.txt");
  file.open();
  EXPECT_FALSE(file.read_only());
  char buffer[16];
  EXPECT_EQ(file.read(buffer, sizeof buffer), 0u);
  EXPECT_TRUE(file.close());
  EXPECT_EQ(read_file(folder / "input.txt"), "");
}

// The report's bytes go out as they are, CR LF and lone LF alike, and the
// first line cuts a longer earlier file right after itself.
TEST(WindowsPlatform, WritesBytesUntranslatedAndCutsAfterTheFirstLine) {
  TempFolder folder;
  write_file(folder / "output.txt", std::string(1000, 'x'));
  FileHandle file(2, folder / "output.txt");
  file.open();
  ASSERT_TRUE(file.cut_and_rewind(4));
  const std::string bytes = "ab\r\ncd\ne\n";
  std::size_t done = 0;
  while (done < bytes.size()) done += file.write(bytes.data() + done, bytes.size() - done);
  EXPECT_TRUE(file.close());
  EXPECT_EQ(read_file(folder / "output.txt"), bytes);
}

TEST(WindowsPlatform, DeviceIsNotCut) {
  FileHandle file(2, "NUL");
  file.open();
  EXPECT_FALSE(file.cut_and_rewind(10));
  EXPECT_EQ(file.write("abc", 3), 3u);
}

TEST(WindowsPlatform, ReadOnlyAttributeOpensForReadingOnly) {
  if (read_only_attribute_is_ignored()) GTEST_SKIP() << "read-only attribute not enforced for this user";
  TempFolder folder;
  write_file(folder / "input.txt", "1 2 3\n");
  set_read_only(folder / "input.txt", true);
  FileHandle file(1, folder / "input.txt");
  file.open();
  EXPECT_TRUE(file.read_only());
  char buffer[16];
  EXPECT_EQ(file.read(buffer, sizeof buffer), 6u);
}

TEST(WindowsPlatform, FolderAndLockedFileAreOpenFailures) {
  TempFolder folder;
  ASSERT_TRUE(::CreateDirectoryA((folder / "input.txt").c_str(), nullptr));
  write_file(folder / "output.txt", "");
  const HANDLE lock = ::CreateFileA((folder / "output.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  for (const auto& [unit, name] : {std::pair{1, "input.txt"}, std::pair{2, "output.txt"}}) {
    FileHandle file(unit, folder / name);
    try {
      file.open();
      ADD_FAILURE() << name << " opened";
    } catch (const Fatal& fatal) {
      EXPECT_EQ(fatal.msg(), Msg::open_failure) << name;
      EXPECT_EQ(fatal.unit(), unit);
    }
  }
  ::CloseHandle(lock);
}

}  // namespace
}  // namespace wsphere::windows_testing
