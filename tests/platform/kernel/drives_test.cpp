#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/kernel/internal.h"
#include "platform/kernel/kernel.h"
#include "tests/support/case_name.h"

namespace win {
void PrintTo(const DriveMapping& d, std::ostream* os) {
  *os << d.letter << "=" << d.hostRoot << ":" << d.type;
}
}  // namespace win

namespace {

using win::DriveMapping;

struct SpecCase {
  const char* layout;
  std::vector<DriveMapping> table;
  const char* why;
};

class DriveSpec : public testing::TestWithParam<SpecCase> {};

TEST_P(DriveSpec, Parses) {
  EXPECT_EQ(win::ParseDriveList(GetParam().layout), GetParam().table) << GetParam().why;
}

INSTANTIATE_TEST_SUITE_P(
    Values, DriveSpec,
    testing::Values(
        SpecCase{"C=/tmp/t/c;D=/tmp/t/usb:removable",
                 {{'C', "/tmp/t/c", win::DRIVE_FIXED}, {'D', "/tmp/t/usb", win::DRIVE_REMOVABLE}},
                 "the documented example"},
        SpecCase{"e=/srv/cd:cdrom;c=/;f=/net/:remote;g=/dev/shm:ramdisk;h=/x:fixed",
                 {{'C', "/", win::DRIVE_FIXED},
                  {'E', "/srv/cd", win::DRIVE_CDROM},
                  {'F', "/net", win::DRIVE_REMOTE},
                  {'G', "/dev/shm", win::DRIVE_RAMDISK},
                  {'H', "/x", win::DRIVE_FIXED}},
                 "lower-case letters, every type, sorted, trailing slash dropped"},
        SpecCase{"C=/a:b", {{'C', "/a:b", win::DRIVE_FIXED}}, "a colon that names no type"},
        SpecCase{"C=/one;C=/two", {{'C', "/one", win::DRIVE_FIXED}}, "first entry wins"},
        SpecCase{"C=relative;1=/x;D/x;;D=/d",
                 {{'D', "/d", win::DRIVE_FIXED}},
                 "malformed entries are left out"}),
    test_support::NameFrom<&SpecCase::why>{});

struct MountCase {
  const char* line;
  std::optional<win::UINT> type;  // nullopt: not a drive
  const char* why;
};

TEST(DriveTable, MountedVolumesBecomeTypedDrives) {
  const MountCase cases[] = {
      {"/dev/sda1 / ext4 rw 0 0", std::nullopt, "the root is C: already"},
      {"/dev/sda2 /home ext4 rw 0 0", std::nullopt, "not a volume folder"},
      {"/dev/nonexistent1 /media/user/USB\\040STICK vfat rw 0 0", win::DRIVE_REMOVABLE,
       "under /media with no device to ask: removable"},
      {"/dev/nonexistent2 /run/media/user/CARD exfat rw 0 0", win::DRIVE_REMOVABLE,
       "under /run/media"},
      {"/dev/nonexistent3 /mnt/data ext4 rw 0 0", win::DRIVE_FIXED, "a disk under /mnt"},
      {"/dev/sr9 /media/cdrom iso9660 ro 0 0", win::DRIVE_CDROM, "optical disc"},
      {"/dev/nonexistent4 /mnt/dvd udf ro 0 0", win::DRIVE_CDROM, "UDF disc"},
      {"server:/export /mnt/nfs nfs4 rw 0 0", win::DRIVE_REMOTE, "NFS"},
      {"//server/share /mnt/smb cifs rw 0 0", win::DRIVE_REMOTE, "SMB"},
      {"user@host: /mnt/ssh fuse.sshfs rw 0 0", win::DRIVE_REMOTE, "SSH"},
      {"tmpfs /mnt/ram tmpfs rw 0 0", win::DRIVE_RAMDISK, "RAM disk"},
  };
  std::string text;
  for (const MountCase& c : cases) text += std::string(c.line) + "\n";
  std::map<std::string, char> letters;
  const std::vector<DriveMapping> table = win::detail::DrivesFromMounts(text, letters);
  ASSERT_FALSE(table.empty());
  EXPECT_EQ(table[0], (DriveMapping{'C', "/", win::DRIVE_FIXED}));
  // Each volume gets the next letter in mount order, from D: on.
  char letter = 'D';
  std::size_t i = 1;
  for (const MountCase& c : cases) {
    if (!c.type) continue;
    ASSERT_LT(i, table.size()) << c.why;
    EXPECT_EQ(table[i].letter, letter) << c.why;
    EXPECT_EQ(table[i].type, *c.type) << c.why;
    ++i;
    ++letter;
  }
  EXPECT_EQ(i, table.size());
  EXPECT_EQ(table[1].hostRoot, "/media/user/USB STICK");
}

TEST(DriveTable, VolumeKeepsItsLetterWhileOthersComeAndGo) {
  std::map<std::string, char> letters;
  win::detail::DrivesFromMounts("a /mnt/a ext4 rw 0 0\nb /mnt/b ext4 rw 0 0\n", letters);
  // /mnt/a is unmounted, /mnt/c mounted: b stays E:, c takes the freed D:.
  const auto table =
      win::detail::DrivesFromMounts("b /mnt/b ext4 rw 0 0\nc /mnt/c ext4 rw 0 0\n", letters);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[1], (DriveMapping{'D', "/mnt/c", win::DRIVE_FIXED}));
  EXPECT_EQ(table[2], (DriveMapping{'E', "/mnt/b", win::DRIVE_FIXED}));
}

TEST(DriveTable, DefaultHasRootAsDriveC) {
  win::SetDriveTable({});
  unsetenv("SUOTU_DRIVES");
  const auto table = win::DriveTable();
  ASSERT_FALSE(table.empty());
  EXPECT_EQ(table[0], (DriveMapping{'C', "/", win::DRIVE_FIXED}));
  EXPECT_EQ(win::GetDriveTypeA("C:\\"), win::DRIVE_FIXED);
}

TEST(DriveTable, EnvironmentReplacesTheTableForTheRun) {
  win::SetDriveTable({});
  setenv("SUOTU_DRIVES", "C=/tmp/t/c;D=/tmp/t/usb:removable;F=/tmp/t/cd:cdrom", 1);
  EXPECT_EQ(win::GetLogicalDrives(), (1u << 2) | (1u << 3) | (1u << 5));
  EXPECT_EQ(win::GetDriveTypeA("C:\\"), win::DRIVE_FIXED);
  EXPECT_EQ(win::GetDriveTypeA("d:\\"), win::DRIVE_REMOVABLE);
  EXPECT_EQ(win::GetDriveTypeA("F:"), win::DRIVE_CDROM);
  EXPECT_EQ(win::GetDriveTypeA("E:\\"), win::DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(win::GetDriveTypeA("C:\\dir\\"), win::DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(win::HostPathFromWindows("D:\\photos\\a.jpg"), "/tmp/t/usb/photos/a.jpg");
  unsetenv("SUOTU_DRIVES");
}

TEST(DriveTable, InProcessTableWinsOverEnvironment) {
  setenv("SUOTU_DRIVES", "C=/tmp/t/c", 1);
  win::SetDriveTable({{'C', "/", win::DRIVE_FIXED}, {'q', "/tmp/q/", win::DRIVE_RAMDISK}});
  EXPECT_EQ(win::GetLogicalDrives(), (1u << 2) | (1u << 16));
  EXPECT_EQ(win::GetDriveTypeA("Q:\\"), win::DRIVE_RAMDISK);
  EXPECT_EQ(win::HostPathFromWindows("Q:\\x"), "/tmp/q/x");
  win::SetDriveTable({});
  unsetenv("SUOTU_DRIVES");
}

}  // namespace
