// Exact byte tables for every device format, and the DoP marker sequence across buffers.
#include "libs/fell/src/packing.h"

#include <gtest/gtest.h>

#include <vector>

namespace fell {
namespace {

using Bytes = std::vector<uint8_t>;

// Left bytes 0x10.., right bytes 0x20.., in time order: L0 R0 L1 R1 L2 R2 L3 R3.
const Bytes kIn = {0x10, 0x20, 0x11, 0x21, 0x12, 0x22, 0x13, 0x23};

struct Case {
  WireFormat format;
  Bytes out;
};

TEST(Packing, EveryFormatLaysOutTwoChannelsExactly) {
  const Case cases[] = {
      {WireFormat::kDsdU8, {0x10, 0x20, 0x11, 0x21, 0x12, 0x22, 0x13, 0x23}},
      {WireFormat::kDsdU16Be, {0x10, 0x11, 0x20, 0x21, 0x12, 0x13, 0x22, 0x23}},
      {WireFormat::kDsdU16Le, {0x11, 0x10, 0x21, 0x20, 0x13, 0x12, 0x23, 0x22}},
      {WireFormat::kDsdU32Be, {0x10, 0x11, 0x12, 0x13, 0x20, 0x21, 0x22, 0x23}},
      {WireFormat::kDsdU32Le, {0x13, 0x12, 0x11, 0x10, 0x23, 0x22, 0x21, 0x20}},
      // DoP sample: marker, older byte, newer byte; memory little-endian.
      {WireFormat::kDopS24_3Le,
       {0x11, 0x10, 0x05, 0x21, 0x20, 0x05, 0x13, 0x12, 0xFA, 0x23, 0x22, 0xFA}},
      {WireFormat::kDopS32Le,
       {0x00, 0x11, 0x10, 0x05, 0x00, 0x21, 0x20, 0x05, 0x00, 0x13, 0x12, 0xFA, 0x00, 0x23, 0x22,
        0xFA}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WireFormatName(c.format));
    Bytes out(c.out.size(), 0xEE);
    DopPhase phase;
    EXPECT_EQ(Pack(c.format, kIn, out, phase), kIn.size() / InputBytesPerFrame(c.format));
    EXPECT_EQ(out, c.out);
    EXPECT_EQ(out.size(), Pack(c.format, kIn, out, phase) * OutputBytesPerFrame(c.format));
  }
}

TEST(Packing, PartialTrailingFrameIsLeftAlone) {
  // 6 input bytes hold one U32 frame's worth only partially: nothing is packed, nothing written.
  Bytes out(8, 0xEE);
  DopPhase phase;
  EXPECT_EQ(Pack(WireFormat::kDsdU32Be, {kIn.data(), 6}, out, phase), 0u);
  EXPECT_EQ(out, Bytes(8, 0xEE));
  // An output too small for all frames bounds the count.
  Bytes small(6, 0xEE);
  EXPECT_EQ(Pack(WireFormat::kDopS24_3Le, kIn, small, phase), 1u);
}

TEST(Packing, DopMarkersAlternateAcrossBuffersOfAnySize) {
  // One stream packed in pieces of 1, 2 and 3 frames equals the same stream packed at once,
  // and its markers alternate through every boundary, starting again only with a new phase.
  for (WireFormat f : {WireFormat::kDopS24_3Le, WireFormat::kDopS32Le}) {
    SCOPED_TRACE(WireFormatName(f));
    Bytes in(4 * 6);
    for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i);
    const size_t ob = OutputBytesPerFrame(f);
    Bytes whole(6 * ob);
    DopPhase p1;
    Pack(f, in, whole, p1);

    Bytes pieces(6 * ob);
    DopPhase p2;
    size_t frame = 0;
    for (size_t n : {1, 2, 3}) {
      Pack(f, {in.data() + frame * 4, n * 4}, {pieces.data() + frame * ob, n * ob}, p2);
      frame += n;
    }
    EXPECT_EQ(pieces, whole);
    for (size_t i = 0; i < 6; ++i) {
      const uint8_t m = whole[i * ob + ob / 2 - 1];
      EXPECT_EQ(m, i % 2 == 0 ? 0x05 : 0xFA) << "frame " << i;
      EXPECT_EQ(whole[i * ob + ob - 1], m) << "right channel of frame " << i;
    }
    EXPECT_EQ(p2.next_marker, 0x05);  // six frames: the next one starts with 0x05 again
  }
}

TEST(Packing, NativeFormatsNeverTouchThePhase) {
  DopPhase phase{kDopMarkerB};
  Bytes out(8);
  Pack(WireFormat::kDsdU32Be, kIn, out, phase);
  EXPECT_EQ(phase.next_marker, kDopMarkerB);
}

}  // namespace
}  // namespace fell
