#include "quelmo/stream/MediaStream.h"

#include "quelmo/stream/FlacFrameScan.h"
#include "quelmo/stream/TrailingTags.h"
#include "quelmo/stream/VorbisBlocks.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numeric>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace zonda {

struct TMediaStream::TFFmpeg {
  AVFormatContext* fmt = nullptr;
  AVCodecContext* dec = nullptr;
  SwrContext* swr = nullptr;
  AVPacket* pkt = nullptr;
  AVFrame* frame = nullptr;
  AVFrame* zero = nullptr;  // silence in the converter's input format
  int stream = -1;
  bool byteSeek = false;
  // What the converter was set up for.
  int swrFormat = -1;
  int swrRate = 0;
  AVChannelLayout swrLayout{};

  ~TFFmpeg() { Free(); }
  void FreeInput() {
    if (fmt) avformat_close_input(&fmt);
  }
  void Free() {
    swr_free(&swr);
    av_channel_layout_uninit(&swrLayout);
    swrFormat = -1;
    avcodec_free_context(&dec);
    av_packet_free(&pkt);
    av_frame_free(&frame);
    av_frame_free(&zero);
    FreeInput();
    stream = -1;
  }
};

namespace {

using Clock = std::chrono::steady_clock;

std::string AvErrorText(int err) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {0};
  av_strerror(err, text, sizeof text);
  return text;
}

// The decoder for a codec. For MPEG audio layers I and II libavcodec lists
// its fixed-point decoders first; they round inside the filter bank and miss
// full accuracy (0.41 LSB RMS where the 16-bit rounding alone gives 0.29), so
// the floating-point decoder is taken wherever it is built in.
const AVCodec* FindDecoder(AVCodecID id) {
  const char* exact = id == AV_CODEC_ID_MP1   ? "mp1float"
                      : id == AV_CODEC_ID_MP2 ? "mp2float"
                      : id == AV_CODEC_ID_MP3 ? "mp3float"
                                              : nullptr;
  if (exact)
    if (const AVCodec* codec = avcodec_find_decoder_by_name(exact)) return codec;
  return avcodec_find_decoder(id);
}

// A packet size beyond which a duration is taken as damage, not as audio.
constexpr int64_t kMaxPacketSeconds = 20;
// Packets read after a seek without finding one that the index knows.
constexpr int kMaxUnsyncedPackets = 4000;

}  // namespace

TMediaStream::TMediaStream() = default;

TMediaStream::~TMediaStream() { Close(); }

int TMediaStream::Interrupt(void* self) {
  auto* s = static_cast<TMediaStream*>(self);
  return Clock::now() > s->deadline_ ? 1 : 0;
}

std::atomic<int64_t> TMediaStream::deadlineScalePercent_{100};

void TMediaStream::ScaleDeadlinesForTests(int percent) { deadlineScalePercent_.store(percent); }

void TMediaStream::Arm(Clock::duration d) { deadline_ = Clock::now() + d * deadlineScalePercent_.load() / 100; }

void TMediaStream::Fail(int err, const char* what) {
  lastError_ = err;
  std::fprintf(stderr, "%s (%s): %s\n", what, AvErrorText(err).c_str(), fileName_.c_str());
}

int TMediaStream::TakeError() {
  int e = lastError_;
  lastError_ = 0;
  return e;
}

void TMediaStream::Close() {
  if (ff_) {
    const int64_t held = ff_->swr ? swr_get_delay(ff_->swr, outRate_ > 0 ? outRate_ : 1) : 0;
    if (isOpen_ && held > 0) std::fprintf(stderr, "frames remained: %lld samples\n", static_cast<long long>(held));
  }
  ff_.reset();
  isOpen_ = false;
  index_.clear();
  byDts_.clear();
  byPos_.clear();
  fifo_.clear();
  fifoRead_ = 0;
  srcRate_ = srcChannels_ = outRate_ = outChannels_ = 0;
  totalSrc_ = totalOut_ = 0;
  lastError_ = 0;
}

bool TMediaStream::OpenInput(const std::string& fileName) {
  ff_->fmt = avformat_alloc_context();
  if (!ff_->fmt) {
    std::fprintf(stderr, "memory allocation error\n");
    return false;
  }
  ff_->fmt->interrupt_callback.callback = &TMediaStream::Interrupt;
  ff_->fmt->interrupt_callback.opaque = this;
  AVDictionary* options = nullptr;
  // The media's own samples, not the presentation the edit list makes of them.
  av_dict_set(&options, "ignore_editlist", "1", 0);
  // A local file and nothing else: a name like "concat:..." or a playlist
  // inside the file must not make FFmpeg reach for other protocols.
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  const std::string url = "file:" + fileName;
  int ret = avformat_open_input(&ff_->fmt, url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (ret < 0) {
    ff_->fmt = nullptr;  // freed by avformat_open_input on failure
    return false;
  }
  ret = avformat_find_stream_info(ff_->fmt, nullptr);
  return ret != AVERROR_EXIT;
}

bool TMediaStream::SelectStream() {
  AVFormatContext* fmt = ff_->fmt;
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    const AVCodecParameters* par = fmt->streams[i]->codecpar;
    if (ff_->stream < 0 && par->codec_type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 0 &&
        par->ch_layout.nb_channels > 0 && FindDecoder(par->codec_id)) {
      ff_->stream = static_cast<int>(i);
    } else {
      fmt->streams[i]->discard = AVDISCARD_ALL;  // cover art, video, other tracks
    }
  }
  return ff_->stream >= 0;
}

bool TMediaStream::OpenDecoder() {
  const AVStream* st = ff_->fmt->streams[ff_->stream];
  const AVCodec* codec = FindDecoder(st->codecpar->codec_id);
  avcodec_free_context(&ff_->dec);
  ff_->dec = avcodec_alloc_context3(codec);
  if (!ff_->pkt) ff_->pkt = av_packet_alloc();
  if (!ff_->frame) ff_->frame = av_frame_alloc();
  if (!ff_->dec || !ff_->pkt || !ff_->frame) {
    std::fprintf(stderr, "memory allocation error\n");
    return false;
  }
  if (avcodec_parameters_to_context(ff_->dec, st->codecpar) < 0) return false;
  // Our own timestamps go in (source frames), and nothing is trimmed for us.
  ff_->dec->pkt_timebase = AVRational{1, st->codecpar->sample_rate};
  ff_->dec->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
  ff_->dec->thread_count = 1;
  if (avcodec_open2(ff_->dec, codec, nullptr) < 0) {
    std::fprintf(stderr, "error -- SoundConverterBeginConversion\n");
    return false;
  }
  return true;
}

bool TMediaStream::CountByDecoding(void* packet, int32_t* frames) {
  auto* pkt = static_cast<AVPacket*>(packet);
  av_packet_shrink_side_data(pkt, AV_PKT_DATA_SKIP_SAMPLES, 0);
  pkt->flags &= ~AV_PKT_FLAG_DISCARD;
  int64_t total = 0;
  int ret = avcodec_send_packet(ff_->dec, pkt);
  for (;;) {
    const int r = avcodec_receive_frame(ff_->dec, ff_->frame);
    if (r < 0) break;
    total += ff_->frame->nb_samples;
    av_frame_unref(ff_->frame);
  }
  if (ret == AVERROR(EAGAIN)) avcodec_send_packet(ff_->dec, pkt);
  *frames = static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
  return true;
}

bool TMediaStream::ReadsAs(const TPacket& expected, bool compareDuration, bool dtsMayBeUnknown) {
  AVPacket* pkt = ff_->pkt;
  for (int guard = 0; guard < 1000; ++guard) {
    Arm(kCallDeadline);
    if (av_read_frame(ff_->fmt, pkt) < 0) return false;
    if (pkt->stream_index != ff_->stream) {
      av_packet_unref(pkt);
      continue;
    }
    const AVRational tb = ff_->fmt->streams[ff_->stream]->time_base;
    const bool dtsOk = pkt->dts == expected.dts || (dtsMayBeUnknown && pkt->dts == AV_NOPTS_VALUE);
    const bool same = dtsOk && pkt->pos == expected.pos &&
                      (!compareDuration || av_rescale_q(pkt->duration, tb, AVRational{1, srcRate_}) == expected.frames);
    av_packet_unref(pkt);
    return same;
  }
  return false;
}

bool TMediaStream::IndexFromContainer(bool* touched) {
  AVStream* st = ff_->fmt->streams[ff_->stream];
  if (!std::strstr(ff_->fmt->iformat->name, "mov")) return false;
  const int n = avformat_index_get_entries_count(st);
  const AVRational tb = st->time_base;
  if (n <= 0 || tb.num <= 0 || static_cast<int64_t>(tb.den) < static_cast<int64_t>(tb.num) * srcRate_) return false;
  // A sample table claiming more samples than the file has bytes is damage.
  const int64_t fileBytes = ff_->fmt->pb ? avio_size(ff_->fmt->pb) : -1;
  if (fileBytes > 0 && n > fileBytes) return false;
  const int64_t maxFrames = kMaxPacketSeconds * srcRate_;
  std::vector<TPacket> index;
  index.reserve(static_cast<size_t>(n));
  int64_t start = 0;
  for (int i = 0; i < n; ++i) {
    const AVIndexEntry* e = avformat_index_get_entry(st, i);
    if (!e || (e->flags & AVINDEX_DISCARD_FRAME)) return false;
    const AVIndexEntry* next = i + 1 < n ? avformat_index_get_entry(st, i + 1) : nullptr;
    const int64_t end = next ? next->timestamp : st->duration;
    if (end < e->timestamp) return false;
    const int64_t frames = av_rescale_q(end - e->timestamp, tb, AVRational{1, srcRate_});
    if (frames > maxFrames) return false;
    index.push_back(TPacket{e->timestamp, e->pos, start, static_cast<int32_t>(frames), (e->flags & AVINDEX_KEYFRAME) != 0});
    start += frames;
  }
  // The demuxer must hand out exactly these packets: check the first ones and
  // the last one (whose duration comes from the track's).
  *touched = true;
  for (size_t k = 0; k < std::min<size_t>(3, index.size()); ++k)
    if (!ReadsAs(index[k], k + 1 < index.size(), false)) return false;
  if (av_seek_frame(ff_->fmt, ff_->stream, index.back().dts, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) < 0 ||
      !ReadsAs(index.back(), true, false))
    return false;
  index_ = std::move(index);
  totalSrc_ = start;
  return totalSrc_ > 0;
}

bool TMediaStream::IndexFromFlacFrames(bool* touched) {
  AVStream* st = ff_->fmt->streams[ff_->stream];
  if (std::strcmp(ff_->fmt->iformat->name, "flac") != 0 || st->codecpar->codec_id != AV_CODEC_ID_FLAC ||
      st->time_base.num != 1 || st->time_base.den != srcRate_)
    return false;
  AVIOContext* io = nullptr;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  const std::string url = "file:" + fileName_;
  const int ret = avio_open2(&io, url.c_str(), AVIO_FLAG_READ, &ff_->fmt->interrupt_callback, &options);
  av_dict_free(&options);
  if (ret < 0) return false;
  std::vector<TFlacFrame> frames;
  const bool scanned = ScanFlacFrames([this, io](uint8_t* buf, int size) {
    Arm(kCallDeadline);
    const int got = avio_read(io, buf, size);
    return got > 0 ? got : (got == AVERROR_EOF ? 0 : got);
  }, &frames);
  avio_closep(&io);
  if (!scanned) return false;
  std::vector<TPacket> index;
  index.reserve(frames.size());
  int64_t start = 0;
  for (const TFlacFrame& f : frames) {
    index.push_back(TPacket{start, f.pos, start, f.samples, true});
    start += f.samples;
  }
  // The demuxer must see the same frames: the first ones and the last one
  // (after a byte seek its parser has no timestamp yet; frames go by position).
  *touched = true;
  for (size_t k = 0; k < std::min<size_t>(3, index.size()); ++k)
    if (!ReadsAs(index[k], true, false)) return false;
  if (av_seek_frame(ff_->fmt, ff_->stream, index.back().pos, AVSEEK_FLAG_BYTE) < 0 ||
      !ReadsAs(index.back(), true, true))
    return false;
  index_ = std::move(index);
  totalSrc_ = start;
  return totalSrc_ > 0;
}

bool TMediaStream::BuildIndex() {
  // MP4 keeps a table of every sample in its header, and FLAC frames can be
  // found by their headers alone: no need to packetise the whole stream.
  bool touched = false;
  if (IndexFromContainer(&touched) || (!touched && IndexFromFlacFrames(&touched))) return true;
  // The table did not match what the demuxer reads: scan from the start.
  if (touched && !ReopenAtStart()) return false;
  const AVStream* st = ff_->fmt->streams[ff_->stream];
  const AVRational tb = st->time_base;
  const AVRational frameBase{1, srcRate_};
  // A time base at least as fine as one sample lets packet durations count frames.
  const bool fineBase = tb.num > 0 && tb.den > 0 && static_cast<int64_t>(tb.den) >= static_cast<int64_t>(tb.num) * srcRate_;
  const int64_t maxFrames = kMaxPacketSeconds * srcRate_;
  bool counted = false;
  // FFmpeg's frame duration for these is a bit-rate estimate: count them by decoding.
  const AVCodecID id = st->codecpar->codec_id;
  const bool estimated = id == AV_CODEC_ID_WMAV1 || id == AV_CODEC_ID_WMAV2 || id == AV_CODEC_ID_WMAPRO ||
                         id == AV_CODEC_ID_WMALOSSLESS || id == AV_CODEC_ID_WMAVOICE;
  // Vorbis in Ogg: a packet decodes to a quarter of the previous block plus a
  // quarter of its own. The demuxer's durations (and its timestamps inside a
  // page) miss that at block-size changes (448 frames short at each change
  // from long to short blocks); count from the block sizes instead, the first
  // packet giving nothing.
  const bool oggVorbis = id == AV_CODEC_ID_VORBIS && std::strcmp(ff_->fmt->iformat->name, "ogg") == 0;
  TVorbisBlocks blocks;
  if (oggVorbis && !blocks.Init(st->codecpar->extradata, st->codecpar->extradata_size)) return false;
  int64_t start = 0;
  AVPacket* pkt = ff_->pkt;
  const auto scanDeadline = Clock::now() + kScanLimit;
  for (;;) {
    if (Clock::now() > scanDeadline) {
      Fail(AVERROR_EXIT, "index scan took too long");
      return false;
    }
    Arm(kCallDeadline);
    const int ret = av_read_frame(ff_->fmt, pkt);
    if (ret == AVERROR(EAGAIN) && Clock::now() <= scanDeadline) continue;
    if (ret == AVERROR_EXIT || ret == AVERROR(EAGAIN)) {
      Fail(ret, "index scan timed out");
      return false;
    }
    if (ret < 0) break;  // end of file, or damage: the index ends here
    if (pkt->stream_index != ff_->stream) {
      av_packet_unref(pkt);
      continue;
    }
    if (pkt->pos >= audioEnd_) {
      av_packet_unref(pkt);
      break;  // a trailing tag: the audio has ended
    }
    int64_t frames = 0;
    if (fineBase && pkt->duration > 0) {
      frames = av_rescale_q(pkt->duration, tb, frameBase);
    } else if (const int d = estimated ? 0 : av_get_audio_frame_duration2(st->codecpar, pkt->size); d > 0) {
      frames = d;
    } else if (!fineBase) {
      int32_t n = 0;
      CountByDecoding(pkt, &n);
      frames = n;
      counted = true;
    }
    // A Vorbis decoder gives nothing for the stream's first packet (it only
    // primes the overlap); the demuxer's duration for it is not output.
    if (index_.empty() && st->codecpar->codec_id == AV_CODEC_ID_VORBIS) frames = 0;
    if (frames < 0 || frames > maxFrames) frames = 0;
    if (oggVorbis) {
      // A chained file (timestamps start again, new headers): FFmpeg would
      // decode the next link with the first one's setup, so refuse the file
      // and let the Vorbis decoder of its own play it.
      const bool restarted = !index_.empty() && pkt->dts != AV_NOPTS_VALUE && index_.back().dts != AV_NOPTS_VALUE &&
                             pkt->dts < index_.back().dts;
      if (restarted || (!index_.empty() && av_packet_get_side_data(pkt, AV_PKT_DATA_METADATA_UPDATE, nullptr))) {
        std::fprintf(stderr, "chained Ogg stream not supported: %s\n", fileName_.c_str());
        av_packet_unref(pkt);
        return false;
      }
      frames = blocks.Frames(pkt->data, pkt->size);
    }
    index_.push_back(TPacket{pkt->dts, pkt->pos, start, static_cast<int32_t>(frames), (pkt->flags & AV_PKT_FLAG_KEY) != 0});
    start += frames;
    av_packet_unref(pkt);
  }
  if (counted && !index_.empty()) {
    // What the decoder still holds at the end belongs to the last packet.
    int64_t tail = 0;
    avcodec_send_packet(ff_->dec, nullptr);
    while (avcodec_receive_frame(ff_->dec, ff_->frame) >= 0) {
      tail += ff_->frame->nb_samples;
      av_frame_unref(ff_->frame);
    }
    tail = std::min(tail, maxFrames);
    index_.back().frames += static_cast<int32_t>(tail);
    start += tail;
  }
  if (oggVorbis && st->duration > 0 && st->duration != AV_NOPTS_VALUE) {
    // The last page's granule position ends the stream inside the last packets.
    const int64_t end = av_rescale_q(st->duration, tb, frameBase);
    for (size_t k = index_.size(); k > 0 && start > end; --k) {
      TPacket& p = index_[k - 1];
      const int64_t cut = std::min<int64_t>(p.frames, start - end);
      p.frames -= static_cast<int32_t>(cut);
      start -= cut;
    }
  }
  totalSrc_ = start;
  return totalSrc_ > 0;
}

void TMediaStream::BuildLookups() {
  byDts_.clear();
  byPos_.clear();
  int64_t lastDts = AV_NOPTS_VALUE;
  posUsable_ = !index_.empty();
  int64_t lastPos = -1;
  for (size_t i = 0; i < index_.size(); ++i) {
    const TPacket& p = index_[i];
    if (p.dts != AV_NOPTS_VALUE && (lastDts == AV_NOPTS_VALUE || p.dts > lastDts)) {
      byDts_.push_back(i);
      lastDts = p.dts;
    }
    if (p.pos < 0 || p.pos <= lastPos) posUsable_ = false;
    lastPos = p.pos;
  }
  if (posUsable_) {
    byPos_.resize(index_.size());
    std::iota(byPos_.begin(), byPos_.end(), size_t{0});
  }
  const AVInputFormat* in = ff_->fmt->iformat;
  // Raw and PCM demuxers read on from any packet start; container demuxers
  // (MP4, Ogg, ASF, Matroska) seek by their own timestamps.
  ff_->byteSeek = posUsable_ && !(in->flags & AVFMT_NO_BYTE_SEEK) && (in->flags & AVFMT_GENERIC_INDEX);
}

bool TMediaStream::Open(const std::string& fileName) {
  if (isOpen_) return false;
  Close();
  // Only plain files: opening a FIFO or a device could block before any
  // deadline applies.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return false;
  const auto t0 = Clock::now();
  // No single allocation of FFmpeg's beyond 128 MB (process-wide): a damaged
  // header must not make a demuxer claim gigabytes for a sample table.
  static const bool limited = [] {
    av_max_alloc(size_t{128} << 20);
    return true;
  }();
  (void)limited;
  fileName_ = fileName;
  ff_ = std::make_unique<TFFmpeg>();
  Arm(kOpenDeadline);
  if (!OpenInput(fileName) || !SelectStream()) {
    ff_.reset();
    return false;
  }
  // Raw frame streams end where appended tags begin (see TrailingTags.h).
  audioEnd_ = INT64_MAX;
  const char* demuxer = ff_->fmt->iformat->name;
  if (!std::strcmp(demuxer, "mp3") || !std::strcmp(demuxer, "aac")) {
    const int64_t end = AudioEndBeforeTrailingTags(fileName);
    if (end > 0) audioEnd_ = end;
  }
  const AVCodecParameters* par = ff_->fmt->streams[ff_->stream]->codecpar;
  srcRate_ = par->sample_rate;
  srcChannels_ = par->ch_layout.nb_channels;
  if (!OpenDecoder()) {
    ff_.reset();
    return false;
  }
  const auto t1 = Clock::now();
  const bool indexed = BuildIndex();
  times_.indexMs = std::chrono::duration<double, std::milli>(Clock::now() - t1).count();
  if (!indexed) {
    Close();
    return false;
  }
  BuildLookups();

  outChannels_ = srcChannels_ >= 2 ? 2 : 1;
  outRate_ = srcRate_ <= 48000 ? srcRate_ : (srcRate_ % 44100 == 0 ? 44100 : 48000);
  const int64_t g = std::gcd<int64_t, int64_t>(srcRate_, outRate_);
  alignSrc_ = srcRate_ / g;
  alignOut_ = outRate_ / g;
  totalOut_ = OutFrame(totalSrc_);
  fifo_.reserve(static_cast<size_t>(outRate_) * 4 * outChannels_);

  isOpen_ = true;
  if (!Restart(0)) {
    Close();
    return false;
  }
  times_.openMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  return true;
}

size_t TMediaStream::PacketAtOrBefore(int64_t srcFrame) const {
  // Last packet whose start is <= srcFrame.
  auto it = std::upper_bound(index_.begin(), index_.end(), srcFrame,
                             [](int64_t v, const TPacket& p) { return v < p.start; });
  if (it == index_.begin()) return 0;
  return static_cast<size_t>(it - index_.begin()) - 1;
}

int64_t TMediaStream::PacketContaining(int64_t srcFrame) const {
  if (index_.empty() || srcFrame < 0 || srcFrame >= totalSrc_) return -1;
  size_t p = PacketAtOrBefore(srcFrame);
  // Zero-length packets share a start with the next one; take the one with frames.
  while (p + 1 < index_.size() && index_[p].frames == 0 && index_[p + 1].start == index_[p].start) ++p;
  return static_cast<int64_t>(p);
}

bool TMediaStream::SeekToPacket(size_t p) {
  ++seekCount_;
  AVFormatContext* fmt = ff_->fmt;
  int ret = -1;
  if (ff_->byteSeek) {
    ret = av_seek_frame(fmt, ff_->stream, index_[p].pos, AVSEEK_FLAG_BYTE);
  } else {
    // The nearest packet at or before p that has a timestamp.
    size_t q = p;
    while (q > 0 && index_[q].dts == AV_NOPTS_VALUE) --q;
    if (index_[q].dts != AV_NOPTS_VALUE) ret = av_seek_frame(fmt, ff_->stream, index_[q].dts, AVSEEK_FLAG_BACKWARD);
  }
  if (ret < 0) return ReopenAtStart();
  return true;
}

bool TMediaStream::ReopenAtStart() {
  ++seekCount_;
  Arm(kOpenDeadline);
  const int stream = ff_->stream;
  ff_->FreeInput();
  if (!OpenInput(fileName_) || stream >= static_cast<int>(ff_->fmt->nb_streams)) {
    Fail(AVERROR(EIO), "cannot reopen");
    return false;
  }
  for (unsigned i = 0; i < ff_->fmt->nb_streams; ++i)
    if (static_cast<int>(i) != stream) ff_->fmt->streams[i]->discard = AVDISCARD_ALL;
  restartPacket_ = 0;
  triedFromStart_ = true;
  return true;
}

bool TMediaStream::Restart(int64_t firstOut) {
  const int64_t srcFirst = firstOut / alignOut_ * alignSrc_ + (firstOut % alignOut_) * alignSrc_ / alignOut_;
  const int64_t target = std::max<int64_t>(0, srcFirst - srcRate_ / 2);
  size_t p = PacketAtOrBefore(target);
  while (p > 0 && !index_[p].key) --p;
  if (ff_->swr) {
    const int64_t held = swr_get_delay(ff_->swr, outRate_);
    if (held > 0) std::fprintf(stderr, "frames remained: %lld samples\n", static_cast<long long>(held));
  }
  // A fresh decoder, not a flushed one: some keep state across a flush, and
  // the frames after a jump must equal those of a decode from the start.
  if (!OpenDecoder()) {
    broken_ = true;
    return false;
  }
  if (ff_->swr && swr_init(ff_->swr) < 0) {
    std::fprintf(stderr, "error -- SoundConverterBeginConversion\n");
    swr_free(&ff_->swr);
    ff_->swrFormat = -1;
  }
  fifo_.clear();
  fifoRead_ = 0;
  restartPacket_ = p;
  triedFromStart_ = false;
  seekRetries_ = 0;
  const int64_t start = index_[p].start;
  const int64_t aligned = (start + alignSrc_ - 1) / alignSrc_ * alignSrc_;
  dropUntilSrc_ = aligned;
  srcPos_ = start;
  headOut_ = aligned / alignSrc_ * alignOut_;
  needSync_ = true;
  unsynced_ = 0;
  demuxEof_ = false;
  finished_ = false;
  swrFlushed_ = false;
  broken_ = false;
  return SeekToPacket(p);
}

int64_t TMediaStream::FindIndexed(const void* packet) const {
  const auto* pkt = static_cast<const AVPacket*>(packet);
  if (posUsable_ && pkt->pos >= 0) {
    auto it = std::lower_bound(byPos_.begin(), byPos_.end(), pkt->pos,
                               [this](size_t i, int64_t v) { return index_[i].pos < v; });
    if (it != byPos_.end() && index_[*it].pos == pkt->pos) return static_cast<int64_t>(*it);
    return -1;
  }
  if (pkt->dts == AV_NOPTS_VALUE) return -1;
  auto it = std::lower_bound(byDts_.begin(), byDts_.end(), pkt->dts,
                             [this](size_t i, int64_t v) { return index_[i].dts < v; });
  if (it != byDts_.end() && index_[*it].dts == pkt->dts) return static_cast<int64_t>(*it);
  return -1;
}

int64_t TMediaStream::LocatePacket(void* packet) {
  auto* pkt = static_cast<AVPacket*>(packet);
  if (!needSync_) {
    int64_t k = nextPacket_;
    const bool known = k < static_cast<int64_t>(index_.size());
    const bool mismatch = known && ((posUsable_ && pkt->pos >= 0 && index_[k].pos != pkt->pos) ||
                                    (!posUsable_ && pkt->dts != AV_NOPTS_VALUE && index_[k].dts != AV_NOPTS_VALUE &&
                                     index_[k].dts != pkt->dts));
    if (mismatch) {
      const int64_t found = FindIndexed(pkt);
      if (found >= 0) k = found;
    }
    if (k >= static_cast<int64_t>(index_.size())) return -1;  // beyond what the scan saw
    nextPacket_ = k + 1;
    return k;
  }
  const int64_t k = FindIndexed(pkt);
  if (k < 0) {
    if (++unsynced_ > kMaxUnsyncedPackets && !triedFromStart_) {
      if (ReopenAtStart()) unsynced_ = 0;
    }
    return -1;
  }
  if (static_cast<size_t>(k) > restartPacket_ && !triedFromStart_) {
    // The demuxer landed after the packet asked for: too little pre-roll for an
    // exact result. Step further back, and in the end start from the beginning.
    ++seekRetries_;
    if (seekRetries_ <= 3 && restartPacket_ > 0) {
      const int64_t back = index_[restartPacket_].start - (int64_t{srcRate_} << seekRetries_);
      size_t p = PacketAtOrBefore(std::max<int64_t>(0, back));
      while (p > 0 && !index_[p].key) --p;
      restartPacket_ = p;
      if (!SeekToPacket(p)) broken_ = true;
    } else if (!ReopenAtStart()) {
      broken_ = true;
    }
    unsynced_ = 0;
    return -1;
  }
  needSync_ = false;
  if (index_[k].start <= dropUntilSrc_) srcPos_ = index_[k].start;
  nextPacket_ = k + 1;
  return k;
}

bool TMediaStream::EnsureResampler(void* framePtr) {
  auto* frame = static_cast<AVFrame*>(framePtr);
  if (ff_->swr && ff_->swrFormat == frame->format && ff_->swrRate == frame->sample_rate &&
      av_channel_layout_compare(&ff_->swrLayout, &frame->ch_layout) == 0)
    return true;
  swr_free(&ff_->swr);
  av_channel_layout_uninit(&ff_->swrLayout);
  AVChannelLayout in{};
  if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&frame->ch_layout) == 0)
    av_channel_layout_default(&in, frame->ch_layout.nb_channels);
  else
    av_channel_layout_copy(&in, &frame->ch_layout);
  AVChannelLayout out{};
  av_channel_layout_default(&out, outChannels_);
  int ret = swr_alloc_set_opts2(&ff_->swr, &out, AV_SAMPLE_FMT_S16, outRate_, &in,
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate > 0 ? frame->sample_rate : srcRate_,
                                0, nullptr);
  av_channel_layout_uninit(&in);
  av_channel_layout_uninit(&out);
  if (ret < 0 || swr_init(ff_->swr) < 0) {
    std::fprintf(stderr, "error -- SoundConverterBeginConversion\n");
    swr_free(&ff_->swr);
    return false;
  }
  ff_->swrFormat = frame->format;
  ff_->swrRate = frame->sample_rate;
  av_channel_layout_copy(&ff_->swrLayout, &frame->ch_layout);
  return true;
}

bool TMediaStream::ConvertInto(const uint8_t* const* data, int frames) {
  const int cap = swr_get_out_samples(ff_->swr, frames);
  if (cap < 0) return false;
  if (cap == 0) return true;
  const size_t old = fifo_.size();
  fifo_.resize(old + static_cast<size_t>(cap) * outChannels_);
  uint8_t* outPtr = reinterpret_cast<uint8_t*>(fifo_.data() + old);
  const int got = swr_convert(ff_->swr, &outPtr, cap, const_cast<const uint8_t**>(data), frames);
  fifo_.resize(old + static_cast<size_t>(std::max(got, 0)) * outChannels_);
  return got >= 0;
}

bool TMediaStream::FeedFrame(void* framePtr) {
  auto* frame = static_cast<AVFrame*>(framePtr);
  int64_t n = frame->nb_samples;
  if (n <= 0) return true;
  // A frame that cannot be converted is treated like a damaged packet.
  if (frame->ch_layout.nb_channels <= 0 || frame->ch_layout.nb_channels > 64 || !EnsureResampler(frame)) return true;
  // Frames drained at the end carry on where the stream stands.
  int64_t fs = frame->pts != AV_NOPTS_VALUE && !draining_ ? frame->pts : srcPos_;
  // A frame fills only its own packet's span: the index is the truth.
  const int64_t j = PacketContaining(fs);
  const int64_t end = j >= 0 ? index_[j].start + index_[j].frames : fs;
  n = std::min(n, end - fs);
  if (n <= 0) return true;
  // Frames the decoder did not give (a damaged packet): silence of that length.
  if (fs > srcPos_ && !SilenceTo(fs)) return false;
  const int64_t skip = std::max(srcPos_, dropUntilSrc_) - fs;
  if (skip >= n) {
    srcPos_ = std::max(srcPos_, fs + n);
    return true;
  }
  const int64_t useFrom = std::max<int64_t>(0, skip);
  const uint8_t* planes[64];
  const int channels = frame->ch_layout.nb_channels;
  const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format));
  const int bps = av_get_bytes_per_sample(static_cast<AVSampleFormat>(frame->format));
  const int planeCount = planar ? std::min(channels, 64) : 1;
  const int64_t stride = planar ? bps : int64_t{bps} * channels;
  for (int c = 0; c < planeCount; ++c) planes[c] = frame->extended_data[c] + useFrom * stride;
  if (!ConvertInto(planes, static_cast<int>(n - useFrom))) std::fprintf(stderr, "error -- SoundConverterFillBuffer\n");
  srcPos_ = fs + n;
  return true;
}

bool TMediaStream::DrainFrames() {
  for (;;) {
    const int ret = avcodec_receive_frame(ff_->dec, ff_->frame);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return true;
    if (ret < 0) {
      std::fprintf(stderr, "error %d -- SoundConverterFillBuffer\n", ret);
      return true;
    }
    const bool ok = FeedFrame(ff_->frame);
    av_frame_unref(ff_->frame);
    if (!ok) return false;
  }
}

bool TMediaStream::FeedPacket(void* packet) {
  auto* pkt = static_cast<AVPacket*>(packet);
  av_packet_shrink_side_data(pkt, AV_PKT_DATA_SKIP_SAMPLES, 0);
  pkt->flags &= ~AV_PKT_FLAG_DISCARD;
  const TPacket& e = index_[static_cast<size_t>(currentPacket_)];
  pkt->pts = pkt->dts = e.start;
  pkt->duration = e.frames;
  int ret = avcodec_send_packet(ff_->dec, pkt);
  if (ret == AVERROR(EAGAIN)) {
    if (!DrainFrames()) return false;
    ret = avcodec_send_packet(ff_->dec, pkt);
  }
  if (ret < 0 && ret != AVERROR(EAGAIN)) {
    // A damaged packet: its span stays silent (the next frame fills the gap).
    if (srcPos_ >= dropUntilSrc_) std::fprintf(stderr, "error %d -- SoundConverterFillBuffer\n", ret);
    else std::fprintf(stderr, "error %d -- PRE-ROLL SoundConverterFillBuffer\n", ret);
  }
  return DrainFrames();
}

void TMediaStream::AppendSilenceOut(int64_t frames) {
  if (frames <= 0) return;
  fifo_.resize(fifo_.size() + static_cast<size_t>(frames) * outChannels_, 0);
}

int64_t TMediaStream::OutFrame(int64_t srcFrame) const {
  return srcFrame / alignSrc_ * alignOut_ + (srcFrame % alignSrc_) * alignOut_ / alignSrc_;
}

bool TMediaStream::ResamplerFromDecoder() {
  AVFrame* f = av_frame_alloc();
  if (!f) return false;
  f->format = ff_->dec->sample_fmt;
  f->sample_rate = ff_->dec->sample_rate > 0 ? ff_->dec->sample_rate : srcRate_;
  av_channel_layout_copy(&f->ch_layout, &ff_->dec->ch_layout);
  const bool ok = f->format >= 0 && f->ch_layout.nb_channels > 0 && EnsureResampler(f);
  av_frame_free(&f);
  return ok;
}

bool TMediaStream::SilenceTo(int64_t to) {
  if (to <= srcPos_) return true;
  const int64_t from = std::max(srcPos_, dropUntilSrc_);
  srcPos_ = to;
  if (to <= from) return true;
  if (!ff_->swr && !ResamplerFromDecoder()) {
    AppendSilenceOut(OutFrame(to) - OutFrame(from));
    return true;
  }
  // Zeros in the converter's input format, so that a resampler stays in step.
  constexpr int kBlock = 4096;
  AVFrame*& zero = ff_->zero;
  if (!zero || zero->format != ff_->swrFormat || av_channel_layout_compare(&zero->ch_layout, &ff_->swrLayout) != 0) {
    av_frame_free(&zero);
    zero = av_frame_alloc();
    if (!zero) return false;
    zero->format = ff_->swrFormat;
    zero->nb_samples = kBlock;
    av_channel_layout_copy(&zero->ch_layout, &ff_->swrLayout);
    if (av_frame_get_buffer(zero, 0) < 0) {
      av_frame_free(&zero);
      return false;
    }
    av_samples_set_silence(zero->extended_data, 0, kBlock, zero->ch_layout.nb_channels,
                           static_cast<AVSampleFormat>(zero->format));
  }
  for (int64_t left = to - from; left > 0;) {
    const int n = static_cast<int>(std::min<int64_t>(left, kBlock));
    if (!ConvertInto(zero->extended_data, n)) return false;
    left -= n;
  }
  return true;
}

void TMediaStream::FinishStep() {
  // The source frames nothing was decoded for, a second per call so that the
  // reader drains the buffer in between.
  if (srcPos_ < totalSrc_) {
    SilenceTo(std::min(totalSrc_, srcPos_ + srcRate_));
    return;
  }
  if (!swrFlushed_ && ff_->swr) {
    for (int guard = 0; guard < 64; ++guard) {
      const size_t before = fifo_.size();
      if (!ConvertInto(nullptr, 0) || fifo_.size() == before) break;
    }
  }
  swrFlushed_ = true;
  const int64_t have = static_cast<int64_t>((fifo_.size() - fifoRead_) / outChannels_);
  const int64_t end = headOut_ + have;
  if (end > totalOut_) {
    fifo_.resize(fifo_.size() - static_cast<size_t>(std::min(have, end - totalOut_)) * outChannels_);
  } else if (end < totalOut_) {
    AppendSilenceOut(std::min<int64_t>(totalOut_ - end, outRate_));  // the resampler's rounding
    if (end + outRate_ < totalOut_) return;
  }
  finished_ = true;
}

bool TMediaStream::DecodeMore() {
  if (finished_ || broken_) return false;
  if (demuxEof_) {
    FinishStep();
    return true;
  }
  AVPacket* pkt = ff_->pkt;
  int ret;
  int again = 0;
  do {
    Arm(kCallDeadline);
    ret = av_read_frame(ff_->fmt, pkt);
  } while (ret == AVERROR(EAGAIN) && ++again < 1000);
  if (ret >= 0 && pkt->stream_index == ff_->stream && pkt->pos >= audioEnd_) {
    av_packet_unref(pkt);
    ret = AVERROR_EOF;  // a trailing tag: the audio has ended
  }
  if (ret == AVERROR_EXIT) {
    Fail(ret, "pGetMediaSample - Failed in FillBufferDataProc");
    broken_ = true;
    return false;
  }
  if (ret < 0) {
    if (ret != AVERROR_EOF) std::fprintf(stderr, "pGetMediaSample - Failed in FillBufferDataProc\n");
    demuxEof_ = true;
    if (needSync_) {
      // Nothing after the seek point could be placed: the rest is silence.
      needSync_ = false;
      srcPos_ = std::max(srcPos_, dropUntilSrc_);
    } else {
      avcodec_send_packet(ff_->dec, nullptr);
      draining_ = true;
      const bool drained = DrainFrames();
      draining_ = false;
      if (!drained) return false;
    }
    return true;
  }
  bool ok = true;
  if (pkt->stream_index == ff_->stream) {
    const int64_t k = LocatePacket(pkt);
    if (broken_) {
      av_packet_unref(pkt);
      Fail(AVERROR(EIO), "error -- seek");
      return false;
    }
    if (k >= 0) {
      currentPacket_ = k;
      ok = FeedPacket(pkt);
      // Packets that gave nothing become silence as soon as the next but one
      // is in (one packet of slack for decoders that answer late), so a run
      // of damaged packets never piles up.
      if (ok && k >= 1) ok = SilenceTo(index_[static_cast<size_t>(k) - 1].start);
    }
  }
  av_packet_unref(pkt);
  return ok;
}

int64_t TMediaStream::Read(int64_t first, int16_t* out, int64_t count) {
  if (!isOpen_ || !out || count <= 0 || first < 0 || first >= totalOut_) return 0;
  count = std::min(count, totalOut_ - first);
  Arm(kCallDeadline);
  // Close ahead (within a second) is reached by decoding on; anything else seeks.
  const bool onTheWay = !broken_ && first >= headOut_ && first - headOut_ <= outRate_;
  if (!onTheWay && !Restart(first)) {
    broken_ = true;
    return 0;
  }
  int64_t delivered = 0;
  const size_t ch = static_cast<size_t>(outChannels_);
  while (delivered < count) {
    const int64_t avail = static_cast<int64_t>((fifo_.size() - fifoRead_) / ch);
    if (avail == 0) {
      fifo_.clear();  // everything handed out: start the buffer over
      fifoRead_ = 0;
      if (!DecodeMore()) break;
      continue;
    }
    const int64_t want = first + delivered;
    if (headOut_ < want) {
      const int64_t drop = std::min(avail, want - headOut_);
      fifoRead_ += static_cast<size_t>(drop) * ch;
      headOut_ += drop;
      continue;
    }
    const int64_t n = std::min(avail, count - delivered);
    std::memcpy(out + delivered * outChannels_, fifo_.data() + fifoRead_, static_cast<size_t>(n) * ch * sizeof(int16_t));
    fifoRead_ += static_cast<size_t>(n) * ch;
    headOut_ += n;
    delivered += n;
  }
  // Keep only the undelivered tail so the buffer does not grow.
  if (fifoRead_ > 0) {
    fifo_.erase(fifo_.begin(), fifo_.begin() + static_cast<std::ptrdiff_t>(fifoRead_));
    fifoRead_ = 0;
  }
  return delivered;
}

}  // namespace zonda
