#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/gdi/metafile.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace win;

std::vector<BYTE> Emf(DWORD extraRecordBytes) {
  const DWORD total = sizeof(ENHMETAHEADER) + extraRecordBytes + 20;
  std::vector<BYTE> bytes(total, 0);
  ENHMETAHEADER header{};
  header.iType = EMR_HEADER;
  header.nSize = sizeof header;
  header.rclFrame = {0, 0, 2000, 1000};
  header.dSignature = ENHMETA_SIGNATURE;
  header.nBytes = total;
  header.nRecords = 2;
  std::memcpy(bytes.data(), &header, sizeof header);
  const DWORD eof[5] = {14, 20, 0, 0x10, 20};
  std::memcpy(bytes.data() + total - 20, eof, sizeof eof);
  return bytes;
}

TEST(MetafileHandles, EnhancedBitsRoundTripAndCopiesAreIndependent) {
  const std::vector<BYTE> bytes = Emf(0);
  HENHMETAFILE metafile = SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
  ASSERT_NE(metafile, nullptr);
  HENHMETAFILE copy = CopyEnhMetaFileA(metafile, nullptr);
  ASSERT_NE(copy, nullptr);
  ASSERT_TRUE(DeleteEnhMetaFile(metafile));
  EXPECT_FALSE(DeleteEnhMetaFile(metafile));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  ASSERT_EQ(GetEnhMetaFileBits(copy, 0, nullptr), bytes.size());
  std::vector<BYTE> back(bytes.size());
  EXPECT_EQ(GetEnhMetaFileBits(copy, UINT(back.size()) - 1, back.data()), 0u)
      << "a short buffer gets nothing";
  EXPECT_EQ(GetEnhMetaFileBits(copy, UINT(back.size()), back.data()), bytes.size());
  EXPECT_EQ(back, bytes);
  ENHMETAHEADER header{};
  EXPECT_EQ(GetEnhMetaFileHeader(copy, sizeof header, &header), sizeof header);
  EXPECT_EQ(header.rclFrame.right, 2000);
  EXPECT_TRUE(DeleteEnhMetaFile(copy));
}

TEST(MetafileHandles, OnlyTheMetafileIsTakenFromLongerData) {
  std::vector<BYTE> bytes = Emf(8);
  bytes.resize(bytes.size() + 100, 0xEE);
  HENHMETAFILE metafile = SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
  ASSERT_NE(metafile, nullptr);
  EXPECT_EQ(GetEnhMetaFileBits(metafile, 0, nullptr), bytes.size() - 100);
  DeleteEnhMetaFile(metafile);
}

TEST(MetafileHandles, MalformedHeadersAreRefused) {
  struct Case {
    const char* why;
    std::size_t offset;
    DWORD value;
  };
  const Case cases[] = {
      {"not a header record", 0, 2},
      {"no signature", 40, 0x12345678},
      {"longer than the data", 48, 4096},
      {"header larger than the file", 4, 200},
  };
  for (const Case& c : cases) {
    std::vector<BYTE> bytes = Emf(0);
    std::memcpy(bytes.data() + c.offset, &c.value, 4);
    EXPECT_EQ(SetEnhMetaFileBits(UINT(bytes.size()), bytes.data()), nullptr) << c.why;
  }
  const std::vector<BYTE> bytes = Emf(0);
  EXPECT_EQ(SetEnhMetaFileBits(40, bytes.data()), nullptr) << "truncated header";
  EXPECT_EQ(SetMetaFileBitsEx(10, bytes.data()), nullptr) << "too short for a metafile";
}

TEST(MetafileHandles, CopyToAFileWritesTheBits) {
  const test_support::ScratchFolder folder("suotu-metafile-handles");
  const std::vector<BYTE> bytes = Emf(4);
  HENHMETAFILE metafile = SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
  HENHMETAFILE copy = CopyEnhMetaFileA(metafile, folder.Win("copy.emf").c_str());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(test_support::ReadBytes(folder.HostOf("copy.emf")), bytes);
  DeleteEnhMetaFile(metafile);
  DeleteEnhMetaFile(copy);
}

}  // namespace
