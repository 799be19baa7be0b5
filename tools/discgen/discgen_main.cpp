// discgen: writes test discs for the virtual CD drive, and describes a cue
// sheet as the drive sees it (for cross-checks with other readers).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/discgen/disc_generator.h"
#include "tools/vdrive/disc_image.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: discgen [options] <dir>\n"
               "  --layout audio|datafirst|cdextra|demo   (audio)\n"
               "  --tracks N        audio tracks (3)\n"
               "  --frames N        frames per audio track (300)\n"
               "  --lengths A,B,... frames of each audio track (instead of --tracks/--frames)\n"
               "  --data-frames N   frames of the data track (300)\n"
               "  --index0 N        INDEX 00 frames before tracks 2..N (0)\n"
               "  --text none|en|enja|latin1   CD-TEXT (none)\n"
               "  --raw-cdtext      CD-TEXT in <name>.cdt (CDTEXTFILE)\n"
               "  --mark-size-packs double-byte flag on the size packs too\n"
               "  --name NAME       file names (disc)\n"
               "       discgen --describe <cue>\n");
  return 2;
}

// One line per fact, stable for scripts.
int Describe(const char* cuePath) {
  vdrive::Disc disc;
  std::string error;
  if (disc.LoadCue(cuePath, &error) != 0) {
    std::fprintf(stderr, "discgen: %s\n", error.c_str());
    return 1;
  }
  for (const auto& s : disc.sessions()) std::printf("session %d leadout %d\n", s.number, s.leadOut);
  for (const auto& t : disc.tracks())
    std::printf("track %d session %d %s start %d length %d image %lld\n", t.number, t.session,
                t.data ? "data" : "audio", t.start, t.length, static_cast<long long>(t.imageFrame));
  static const char* const kFields[] = {"title", "performer", "songwriter", "composer", "arranger"};
  const auto blocks = vdrive::DecodeCdTextPacks(disc.cdTextPacks());
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    for (std::size_t e = 0; e < blocks[b].entries.size(); ++e)
      for (int f = 0; f < vdrive::kCdTextFieldCount; ++f)
        if (!blocks[b].entries[e][static_cast<std::size_t>(f)].empty())
          std::printf("cdtext %zu 0x%02X %zu %s %s\n", b, blocks[b].language, e, kFields[f],
                      blocks[b].entries[e][static_cast<std::size_t>(f)].c_str());
  }
  std::printf("cdtext_crc %s\n", vdrive::CdTextCrcsValid(disc.cdTextPacks()) ? "ok" : "bad");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--describe") == 0) return Describe(argv[2]);
  discgen::DiscOptions options;
  const char* dir = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--raw-cdtext") {
      options.rawCdTextFile = true;
    } else if (a == "--mark-size-packs") {
      options.markSizePacks = true;
    } else if (a == "--layout" && hasValue) {
      const std::string v = argv[++i];
      if (v == "audio") options.layout = discgen::Layout::AudioOnly;
      else if (v == "datafirst") options.layout = discgen::Layout::DataFirst;
      else if (v == "cdextra") options.layout = discgen::Layout::CdExtra;
      else if (v == "demo") options.layout = discgen::Layout::Demo;
      else return Usage();
    } else if (a == "--text" && hasValue) {
      const std::string v = argv[++i];
      if (v == "none") options.text = discgen::TextMode::None;
      else if (v == "en") options.text = discgen::TextMode::English;
      else if (v == "enja") options.text = discgen::TextMode::EnglishJapanese;
      else if (v == "latin1") options.text = discgen::TextMode::Latin1;
      else return Usage();
    } else if (a == "--tracks" && hasValue) {
      options.audioTracks = std::atoi(argv[++i]);
    } else if (a == "--frames" && hasValue) {
      options.trackFrames = std::atoi(argv[++i]);
    } else if (a == "--lengths" && hasValue) {
      for (const char* p = argv[++i]; *p;) {
        char* end = nullptr;
        options.trackLengths.push_back(static_cast<int>(std::strtol(p, &end, 10)));
        if (end == p || (*end && *end != ',')) return Usage();
        p = *end ? end + 1 : end;
      }
    } else if (a == "--data-frames" && hasValue) {
      options.dataFrames = std::atoi(argv[++i]);
    } else if (a == "--index0" && hasValue) {
      options.index0Frames = std::atoi(argv[++i]);
    } else if (a == "--name" && hasValue) {
      options.name = argv[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage();
    } else {
      dir = argv[i];
    }
  }
  if (dir == nullptr) return Usage();
  std::string cue, error;
  if (discgen::GenerateDisc(options, dir, &cue, &error) != 0) {
    std::fprintf(stderr, "discgen: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", cue.c_str());
  return 0;
}
