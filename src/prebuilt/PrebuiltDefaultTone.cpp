#include "prebuilt/PrebuiltDefaultTone.h"

#include <cstddef>
#include <utility>

#include "common/Constants.h"
#include "common/WaveFormat.h"
#include "dsp/DefaultSample.h"

#if defined(TONEFIELD_PREBUILT_KEYS_FILE)
// Changes with the file's contents, so a compiler cache never hands out an
// object that carries an older file.
#include "prebuilt/PrebuiltDefaultToneStamp.h"

// The generated file goes into read-only data as it is: the keys one after
// the other, in this machine's byte order. ELF marks the symbols hidden; PE
// has no such thing and a section named .rdata$... lands in .rdata.
#if defined(__ELF__)
#define TONEFIELD_PREBUILT_SECTION ".pushsection .rodata.tonefield_prebuilt,\"a\"\n"
#define TONEFIELD_PREBUILT_SECTION_END ".popsection\n"
#define TONEFIELD_PREBUILT_HIDDEN(symbol) ".hidden " symbol "\n"
#define TONEFIELD_PREBUILT_VISIBILITY [[gnu::visibility("hidden")]]
#else
#define TONEFIELD_PREBUILT_SECTION ".section .rdata$tonefield_prebuilt,\"dr\"\n"
#define TONEFIELD_PREBUILT_SECTION_END ".text\n"
#define TONEFIELD_PREBUILT_HIDDEN(symbol) ""
#define TONEFIELD_PREBUILT_VISIBILITY
#endif
__asm__(
    TONEFIELD_PREBUILT_SECTION
    ".balign 64\n"
    ".globl tonefield_prebuilt_keys\n"
    TONEFIELD_PREBUILT_HIDDEN("tonefield_prebuilt_keys")
    "tonefield_prebuilt_keys:\n"
    ".incbin \"" TONEFIELD_PREBUILT_KEYS_FILE "\"\n"
    ".globl tonefield_prebuilt_keys_end\n"
    TONEFIELD_PREBUILT_HIDDEN("tonefield_prebuilt_keys_end")
    "tonefield_prebuilt_keys_end:\n"
    TONEFIELD_PREBUILT_SECTION_END);

extern "C" {
TONEFIELD_PREBUILT_VISIBILITY extern const std::int16_t tonefield_prebuilt_keys[];
TONEFIELD_PREBUILT_VISIBILITY extern const std::int16_t tonefield_prebuilt_keys_end[];
}
#endif

namespace tonefield {

namespace {
constexpr std::size_t kPrebuiltSamples = kKeyCount * kDefaultSampleFrames;
}  // namespace

std::span<const std::int16_t> PrebuiltDefaultToneKeys() {
#if defined(TONEFIELD_PREBUILT_KEYS_FILE)
  static_assert(kPrebuiltKeysSamples == kPrebuiltSamples, "the generated keys are not 36 default tones long");
  const auto count = static_cast<std::size_t>(tonefield_prebuilt_keys_end - tonefield_prebuilt_keys);
  if (count != kPrebuiltSamples) return {};
  return {tonefield_prebuilt_keys, count};
#else
  return {};
#endif
}

bool UsePrebuiltDefaultTone(SourceSample& sample, KeyWaves& waves) {
  const std::span<const std::int16_t> keys = PrebuiltDefaultToneKeys();
  if (keys.empty()) return false;

  // Key 12 is the normalised sample, which for 16-bit mono is the sample.
  const std::span<const std::int16_t> reference =
      keys.subspan(kReferenceKey * kDefaultSampleFrames, kDefaultSampleFrames);
  SourceSample tone;
  tone.format = DefaultSampleFormat();
  tone.data.resize(2 * kDefaultSampleFrames);
  for (std::size_t i = 0; i < reference.size(); ++i) {
    WriteLe16(tone.data.data() + 2 * i, static_cast<std::uint16_t>(reference[i]));
  }

  waves.processedFormat = tone.format;
  waves.bank.ShowFixedKeys(keys.data(), kDefaultSampleFrames, kDefaultSampleFrames);
  for (KeyWave& key : waves.bank.keys) key.byteLength = static_cast<std::uint32_t>(tone.data.size());
  waves.outputFormat = ReadWaveFormat(waves.processedFormat);
  sample = std::move(tone);
  return true;
}

}  // namespace tonefield
