// Container parsing on generated files: every malformed variant is refused with the right
// code or opened with the length the data really present gives.
#include "libs/scree/src/container.h"

#include <gtest/gtest.h>

#include <map>

#include "tools/dsdgen/dsdgen.h"

namespace scree {
namespace {

struct Expect {
  int code;
  uint64_t bytes_per_channel;  // when the file opens
};

TEST(Container, MalformedVariantsAreRefusedOrClamped) {
  // The base of every variant is a stereo DSD64 file of two full DSF block groups (8192 bytes
  // per channel).
  const std::map<std::string, Expect> expected = {
      {"empty-file", {41, 0}},
      {"not-dsd-at-all", {41, 0}},
      {"dsf-bad-magic", {41, 0}},
      {"dsf-truncated-in-header", {41, 0}},
      {"dsf-data-chunk-missing", {41, 0}},
      {"dsf-fmt-id-wrong", {41, 0}},
      {"dsf-dsd-chunk-size-huge", {41, 0}},
      {"dsf-fmt-chunk-size-huge", {41, 0}},
      {"dsf-format-id-not-raw", {41, 0}},
      {"dsf-zero-channels", {41, 0}},
      {"dsf-seven-channels", {41, 0}},
      {"dsf-rate-zero", {41, 0}},
      {"dsf-rate-48k-family", {6, 0}},
      {"dsf-bits-per-sample-4", {41, 0}},
      {"dsf-zero-block-size", {41, 0}},
      {"dsf-data-id-wrong", {41, 0}},
      {"dsf-sample-count-huge", {0, 8192}},
      {"dsf-data-chunk-smaller-than-samples", {0, 4096}},
      {"dsf-truncated-in-data", {0, 4096}},  // left has 1.5 blocks, right only one
      {"dsf-total-size-wrong", {0, 8192}},
      {"dsf-metadata-pointer-into-data", {0, 8192}},
      {"dff-bad-form-type", {41, 0}},
      {"dff-frm8-size-too-large", {0, 8192}},
      {"dff-frm8-size-too-small", {41, 0}},
      {"dff-prop-size-huge", {41, 0}},
      {"dff-prop-type-wrong", {41, 0}},
      {"dff-zero-channels", {41, 0}},
      {"dff-fs-zero", {41, 0}},
      {"dff-fs-id-wrong", {41, 0}},
      {"dff-sound-chunk-past-end", {41, 0}},
      {"dff-sound-chunk-id-unknown", {41, 0}},
      {"dff-sound-chunk-missing", {41, 0}},
      {"dff-dst-compressed-no-frames", {44, 0}},
      {"dff-missing-pad-byte", {0, 8192}},
      {"dff-truncated-tag-after-data", {0, 8192}},
  };
  const auto variants = dsdgen::MalformedVariants();
  ASSERT_EQ(variants.size(), expected.size());
  for (const auto& v : variants) {
    SCOPED_TRACE(v.name);
    auto it = expected.find(v.name);
    ASSERT_NE(it, expected.end());
    auto source = MemorySource(v.bytes.data(), v.bytes.size());
    ParseResult r = ParseContainer(*source);
    EXPECT_EQ(r.code, it->second.code) << r.reason;
    if (r.code == 0) {
      EXPECT_EQ(r.layout.bytes_per_channel, it->second.bytes_per_channel);
    } else {
      EXPECT_FALSE(r.reason.empty());
    }
  }
}

TEST(Container, FieldsOfGeneratedFiles) {
  dsdgen::FileSpec desc;
  desc.container = dsdgen::Container::kDsf;
  desc.rate = dsdgen::kDsd256;
  desc.channels = 6;
  desc.samples = 100001;
  desc.id3 = true;
  dsdgen::Bytes file = dsdgen::MakeFile(desc);
  auto source = MemorySource(file.data(), file.size());
  ParseResult r = ParseContainer(*source);
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(r.layout.rate, dsdgen::kDsd256);
  EXPECT_EQ(r.layout.channels, 6u);
  EXPECT_EQ(r.layout.sample_count, 100001u);
  EXPECT_EQ(r.layout.bytes_per_channel, 12500u);
  EXPECT_EQ(r.layout.data_offset, 92u);
  EXPECT_TRUE(r.layout.lsb_first);
  EXPECT_GT(r.layout.tag_size, 10u);
  EXPECT_EQ(r.layout.tag_offset + r.layout.tag_size, file.size());

  desc.container = dsdgen::Container::kDff;
  desc.dff_extra_chunks = true;
  file = dsdgen::MakeFile(desc);
  source = MemorySource(file.data(), file.size());
  r = ParseContainer(*source);
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(r.layout.channels, 6u);
  EXPECT_EQ(r.layout.bytes_per_channel, 12501u);  // DFF holds whole bytes: the last one padded
  EXPECT_GT(r.layout.tag_size, 10u);
}

}  // namespace
}  // namespace scree
