// Stream sources: Ogg Vorbis made here with libvorbisenc, read from archive entries
// and files, compared with a plain ov_read loop over the same bytes.
#include <gtest/gtest.h>

#include <random>

#include "archive/archive.h"
#include "archive/archive_test_util.h"
#include "engine_fixture.h"
#include "ogg_test_util.h"
#include "platform/text.h"
#include "sound/stream.h"

namespace {

using archive_test::ScratchDir;
using archive_test::U16;
using sound_test::EncodeOgg;
using sound_test::Tone;

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Reads the whole stream through the control's ReadPcm, as a channel would.
std::vector<uint8_t> ReadAll(IStreamControl* control, uint32_t bytes) {
  STREAMCHANNEL channel;
  channel.format = *control->GetFormat();
  channel.total = channel.remaining = control->GetDataSize();
  std::vector<uint8_t> out(bytes);
  control->ReadPcm(&channel, out.data(), bytes);
  return out;
}

ComPtr<IStreamControl> OpenOgg(IArchive* archive, std::u16string_view name) {
  IStreamReader* reader = archive != nullptr ? CreateStreamArchiveReader(archive) : CreateStreamFileReader();
  auto control = ComPtr<IStreamControl>::Adopt(CreateOggStreamControl(reader));
  if (control->Open(name) == 0) return nullptr;
  return control;
}

TEST(OggSource, DecodesAsAPlainOvReadLoopFromArchiveAndFile) {
  const struct {
    const char* name;
    std::vector<uint8_t> ogg;
    uint16_t blockAlign;
    uint32_t rate;
  } table[] = {
      {"stereo tone", EncodeOgg(Tone(22050, 2, 44100), 2, 44100), 4, 44100},
      {"mono tone", EncodeOgg(Tone(5000, 1, 22050), 1, 22050), 2, 22050},
      {"one sample", EncodeOgg(Tone(1, 1, 22050), 1, 22050), 2, 22050},
      {"chained stream", Concat(EncodeOgg(Tone(3000, 2, 44100), 2, 44100, 1),
                                EncodeOgg(Tone(4000, 2, 44100, 880.0), 2, 44100, 2)), 4, 44100},
  };
  ScratchDir dir;
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    std::filesystem::path file = dir.Write("sound/se/tone.ogg", row.ogg);
    const std::vector<uint8_t> reference = sound_test::DecodeWithOvRead(row.ogg);
    ASSERT_FALSE(reference.empty());
    auto archive = ComPtr<IArchive>::Adopt(OpenDirArchive(U16(dir / "sound")));
    for (auto control : {OpenOgg(archive.get(), u"SE\\Tone.ogg"), OpenOgg(nullptr, U16(file))}) {
      ASSERT_TRUE(control);
      EXPECT_EQ(control->GetFormat()->nBlockAlign, row.blockAlign);
      EXPECT_EQ(control->GetFormat()->nSamplesPerSec, row.rate);
      ASSERT_EQ(control->GetDataSize(), reference.size());
      EXPECT_EQ(ReadAll(control.get(), control->GetDataSize()), reference);
      // A rewind starts again at the first sample, not at the first page.
      control->Rewind(nullptr);
      const uint32_t head = std::min<uint32_t>(1000, control->GetDataSize());
      std::vector<uint8_t> again = ReadAll(control.get(), head);
      EXPECT_TRUE(std::equal(again.begin(), again.end(), reference.begin()));
    }
  }
  auto archive = ComPtr<IArchive>::Adopt(OpenDirArchive(U16(dir / "sound")));
  EXPECT_FALSE(OpenOgg(archive.get(), u"se/missing.ogg"));
  EXPECT_FALSE(OpenOgg(nullptr, U16(dir / "missing.ogg")));
}

// The page at `at` as libogg sees it, over the bytes.
ogg_page PageAt(std::vector<uint8_t>& ogg, std::size_t at) {
  ogg_page page;
  page.header = ogg.data() + at;
  page.header_len = 27 + page.header[26];
  page.body = page.header + page.header_len;
  page.body_len = 0;
  for (int i = 0; i < page.header[26]; ++i) page.body_len += page.header[27 + i];
  return page;
}

// The bytes with the granule position of the last page set to `granule`, its
// checksum made good again.
std::vector<uint8_t> WithLastGranule(std::vector<uint8_t> ogg, int64_t granule) {
  const std::string_view all(reinterpret_cast<const char*>(ogg.data()), ogg.size());
  ogg_page page = PageAt(ogg, all.rfind("OggS"));
  for (int i = 0; i < 8; ++i) page.header[6 + i] = static_cast<uint8_t>(uint64_t(granule) >> (8 * i));
  ogg_page_checksum_set(&page);
  return ogg;
}

// The bytes with every other page of sound lost; the headers and the last page stay.
std::vector<uint8_t> WithEveryOtherPageLost(std::vector<uint8_t> ogg) {
  std::vector<uint8_t> out;
  int sound = 0;
  for (std::size_t at = 0; at + 27 < ogg.size();) {
    const ogg_page page = PageAt(ogg, at);
    const std::size_t size = page.header_len + page.body_len;
    if (ogg_page_granulepos(&page) == 0 || at + size == ogg.size() || sound++ % 2 == 1) {
      out.insert(out.end(), &ogg[at], &ogg[at + size]);
    }
    at += size;
  }
  return out;
}

TEST(OggSource, DamagedDataFailsOrEndsWithoutHanging) {
  const std::vector<uint8_t> good = EncodeOgg(Tone(200000, 2, 44100), 2, 44100);
  // Noise at the highest quality: pages for many more lost ones, scattered, than
  // the holes in a row that end a stream.
  std::vector<int16_t> noise(2 * 400000);
  std::minstd_rand random(7);
  for (int16_t& s : noise) s = static_cast<int16_t>(random() % 20000 - 10000);
  std::vector<uint8_t> flipped = good;
  for (std::size_t i = good.size() * 3 / 4; i < good.size() * 3 / 4 + 10; ++i) flipped[i] ^= 0x5A;
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    int opens;  // 1 opens, 0 fails, -1 either
    bool tooLong = false;  // the debugger output says why
  } table[] = {
      {"empty", {}, 0},
      {"not Ogg", archive_test::NoiseBytes(5000, 3), 0},
      {"cut inside the headers", std::vector<uint8_t>(good.begin(), good.begin() + 60), 0},
      {"cut in the middle", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2), 1},
      {"damaged pages", flipped, 1},
      {"every other page lost", WithEveryOtherPageLost(EncodeOgg(noise, 2, 44100, 1, 1.0f)), 1},
      // Lengths in bytes past 32 bits: refused with a reason, also where the bytes
      // wrap 64 bits to a small count.
      {"last granule far past the data", WithLastGranule(good, 0x7FFFFFFF00000000), 0, true},
      {"last granule whose bytes wrap", WithLastGranule(good, 0x4000000000000400), 0, true},
      {"samples within 32 bits, bytes past them", WithLastGranule(good, int64_t{1} << 31), 0, true},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    auto control = ComPtr<IStreamControl>::Adopt(
        CreateOggStreamControl(new sound_test::MemoryStreamReader(row.bytes)));
    sound_test::DebugCapture capture;
    const int opened = control->Open(u"x.ogg");
    if (row.opens != -1) {
      EXPECT_EQ(opened, row.opens);
    }
    EXPECT_EQ(capture.text.find(u"x.ogg: the Ogg stream is not played") == 0, row.tooLong) << platform::Utf16ToUtf8(capture.text);
    if (opened != 0) {
      // Whatever decodes comes out, past each lost page, in one read; the rest is
      // silence, and the read returns.
      std::vector<uint8_t> pcm = ReadAll(control.get(), control->GetDataSize());
      const std::vector<uint8_t> decodes = sound_test::DecodeWithOvRead(row.bytes);
      ASSERT_LE(decodes.size(), pcm.size());
      EXPECT_TRUE(std::equal(decodes.begin(), decodes.end(), pcm.begin()));
      EXPECT_TRUE(std::all_of(pcm.begin() + decodes.size(), pcm.end(), [](uint8_t b) { return b == 0; }));
    }
  }
}

TEST(ArchiveReader, ReadsStopAtTheEntrysEndAndSeeksKeepOrigins) {
  ScratchDir dir;
  dir.Write("a/entry.bin", archive_test::PatternBytes(100, 1));
  auto archive = ComPtr<IArchive>::Adopt(OpenDirArchive(U16(dir / "a")));
  auto reader = ComPtr<IStreamReader>::Adopt(CreateStreamArchiveReader(archive.get()));
  ASSERT_EQ(reader->Open(u"entry.bin"), 1);
  uint8_t buffer[64];
  reader->Seek(90, 0);
  EXPECT_EQ(reader->Read(buffer, 64), 10u) << "a read across the end stops there";
  EXPECT_EQ(reader->Read(buffer, 64), 0u);
  reader->Seek(-30, 1);
  EXPECT_EQ(reader->Tell(), 70u);
  reader->Seek(5, 7);
  EXPECT_EQ(reader->Tell(), 70u) << "an unknown origin leaves the position";
  reader->Seek(100, 0);
  EXPECT_EQ(reader->Tell(), 100u) << "the end is a position too";
  EXPECT_EQ(reader->GetSize(), 100u);
  EXPECT_EQ(reader->Open(u"none.bin"), 0);
}

class OggPlayback : public sound_test::ManualEngine {};

TEST_F(OggPlayback, StreamFromTheSoundArchiveComesOutOfTheDevice) {
  const std::vector<int16_t> pcm = Tone(3000, 2, kRate, 300.0);
  const std::vector<uint8_t> ogg = EncodeOgg(pcm, 2, kRate);
  ScratchDir dir;
  dir.Write("sound/voice/a.ogg", ogg);
  auto archive = ComPtr<IArchive>::Adopt(OpenDirArchive(U16(dir / "sound")));
  const std::vector<uint8_t> reference = sound_test::DecodeWithOvRead(ogg);

  EXPECT_EQ(OpenOggStream(archive.get(), u"voice/none.ogg", 3, 0, 4096, 0, 0), -1);
  const int32_t id = OpenOggStream(archive.get(), u"voice/a.ogg", 3, 0, 4096, 0, 0);
  ASSERT_NE(id, -1);
  EXPECT_EQ(GetChannelPlayId(3), id);
  std::vector<int16_t> heard = device_->Render(static_cast<uint32_t>(reference.size() / 4));
  std::vector<int16_t> expected(reference.size() / 2);
  std::memcpy(expected.data(), reference.data(), reference.size());
  EXPECT_EQ(heard, expected);
}

// The device takes mono and stereo only. Its box comes up with the sound lock left,
// so the service thread goes on refilling the other channels while it is open.
TEST_F(OggPlayback, RefusedStreamBufferIsReportedOutsideTheSoundLock) {
  struct Boxes : platform::HeadlessMessageBox {
    bool underLock = false;
    int Show(platform::WindowHandle owner, std::u16string_view text, std::u16string_view caption,
             uint32_t flags) override {
      underLock = underLock || SoundLockHeldHere();
      return HeadlessMessageBox::Show(owner, text, caption, flags);
    }
  } boxes;
  boxes.SetEcho(false);
  platform::IMessageBox* previous = platform::SetMessageBoxService(&boxes);
  ScratchDir dir;
  const std::filesystem::path file = dir.Write("three.ogg", EncodeOgg(Tone(2000, 3, kRate), 3, kRate));
  EXPECT_EQ(OpenOggStream(nullptr, U16(file), -1, 1, 4096, 0, 0), -1);
  platform::SetMessageBoxService(previous);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].caption, u"DirectSound");
  EXPECT_EQ(boxes.shown()[0].text.rfind(u"CreateStreamBuffer(80070057)\r\n", 0), 0u);
  EXPECT_NE(boxes.shown()[0].text.find(u"nChannels=3\r\n"), std::u16string::npos);
  EXPECT_FALSE(boxes.underLock);
  EXPECT_EQ(GetChannelPlayId(0), -1);
}

}  // namespace
