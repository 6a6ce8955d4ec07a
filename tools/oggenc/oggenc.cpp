#include "oggenc.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <stdexcept>

namespace oggenc {
namespace {

// The encoder's libvorbis and libogg state, cleared in reverse order of setup.
struct Encoder {
  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  vorbis_block block;
  ogg_stream_state stream;

  Encoder(int channels, long rate, float quality, int serial) {
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
      vorbis_info_clear(&info);
      throw std::runtime_error("libvorbisenc refused the stream settings");
    }
    vorbis_comment_init(&comment);
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_init(&stream, serial);
  }
  ~Encoder() {
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;
};

void Append(std::vector<uint8_t>& out, const ogg_page& page) {
  out.insert(out.end(), page.header, page.header + page.header_len);
  out.insert(out.end(), page.body, page.body + page.body_len);
}

}  // namespace

std::vector<uint8_t> EncodeOggVorbis(std::span<const float> interleaved, const Settings& settings) {
  const int channels = settings.channels;
  Encoder e(channels, settings.rate, settings.quality, settings.serial);
  std::vector<uint8_t> out;
  ogg_page page;

  // The three header packets go on pages of their own, before any audio.
  ogg_packet header, header_comment, header_code;
  vorbis_analysis_headerout(&e.dsp, &e.comment, &header, &header_comment, &header_code);
  ogg_stream_packetin(&e.stream, &header);
  ogg_stream_packetin(&e.stream, &header_comment);
  ogg_stream_packetin(&e.stream, &header_code);
  while (ogg_stream_flush(&e.stream, &page) != 0) Append(out, page);

  // Frames go in a chunk at a time. An empty chunk tells the encoder the stream
  // has ended; its last packet then pushes out the last page, marked as the end.
  const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
  for (std::size_t at = 0;;) {
    const std::size_t n = std::min(settings.chunk_frames, frames - at);
    if (n != 0) {
      float** buffer = vorbis_analysis_buffer(&e.dsp, static_cast<int>(n));
      for (std::size_t f = 0; f < n; ++f) {
        for (int c = 0; c < channels; ++c) buffer[c][f] = interleaved[(at + f) * channels + c];
      }
      at += n;
    }
    vorbis_analysis_wrote(&e.dsp, static_cast<int>(n));
    while (vorbis_analysis_blockout(&e.dsp, &e.block) == 1) {
      vorbis_analysis(&e.block, nullptr);
      vorbis_bitrate_addblock(&e.block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&e.dsp, &packet) != 0) {
        ogg_stream_packetin(&e.stream, &packet);
        while (ogg_stream_pageout(&e.stream, &page) != 0) Append(out, page);
      }
    }
    if (n == 0) break;
  }
  return out;
}

}  // namespace oggenc
