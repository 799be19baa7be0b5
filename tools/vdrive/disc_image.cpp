#include "tools/vdrive/disc_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <sstream>

#include "tools/vdrive/regular_file.h"

namespace vdrive {

namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsAbsolute(const std::string& p) {
  return (!p.empty() && (p[0] == '/' || p[0] == '\\')) || (p.size() > 1 && p[1] == ':');
}

std::int64_t FileSize(const std::string& path) {
  if (!IsRegularFile(path)) return -1;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return -1;
  return static_cast<std::int64_t>(in.tellg());
}

}  // namespace

std::string FramesToMsfText(std::int32_t frames) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", frames / 4500, frames / 75 % 60, frames % 75);
  return buf;
}

int Disc::LoadCue(const std::string& cuePath, std::string* error) {
  std::ifstream in(cuePath, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot open " + cuePath;
    return -1;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return LoadCueText(text, FolderOf(cuePath), error);
}

int Disc::LoadCueText(const std::string& cueText, const std::string& baseDir, std::string* error) {
  tracks_.clear();
  sessions_.clear();
  segments_.clear();
  cdText_.clear();
  paths_.clear();
  fileFrames_.clear();
  streams_.clear();
  CueSheet cue;
  if (ParseCueSheet(cueText, &cue, error) != 0) return -1;
  std::string dir = baseDir;
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir.push_back('/');
  for (const std::string& f : cue.files) {
    const std::string path = IsAbsolute(f) ? f : dir + f;
    const std::int64_t size = FileSize(path);
    if (size < 0) {
      if (error) *error = "cannot open image " + path;
      return -1;
    }
    paths_.push_back(path);
    fileFrames_.push_back((size + kFrameBytes - 1) / kFrameBytes);
    streams_.emplace_back();
  }

  // Walk the tracks placing pregap silence and file runs on the LBA axis.
  std::int32_t next = 0;
  for (std::size_t i = 0; i < cue.tracks.size(); ++i) {
    const CueTrack& t = cue.tracks[i];
    const bool firstInFile = i == 0 || cue.tracks[i - 1].file != t.file;
    const bool lastInFile = i + 1 == cue.tracks.size() || cue.tracks[i + 1].file != t.file;
    const std::int64_t runStart = firstInFile ? 0 : (t.index0 >= 0 ? t.index0 : t.index1);
    std::int64_t runEnd = fileFrames_[static_cast<std::size_t>(t.file)];
    if (!lastInFile) {
      const CueTrack& n = cue.tracks[i + 1];
      runEnd = n.index0 >= 0 ? n.index0 : n.index1;
    }
    if (t.index0 >= 0 && t.index0 > t.index1) {
      if (error) *error = "track " + std::to_string(t.number) + ": INDEX 00 after INDEX 01";
      return -1;
    }
    if (runStart > t.index1 || t.index1 > runEnd) {
      if (error) *error = "track " + std::to_string(t.number) + ": index outside its file run";
      return -1;
    }
    const std::int32_t beforeIndex1 = static_cast<std::int32_t>(t.index1 - runStart);
    if (i > 0 && t.session != cue.tracks[i - 1].session) {
      sessions_.back().leadOut = next;
      next = std::max(next, next + kSessionGap - t.pregap - beforeIndex1);
    }
    if (sessions_.empty() || sessions_.back().number != t.session) {
      DiscSession s;
      s.number = t.session;
      s.firstTrack = s.lastTrack = static_cast<int>(tracks_.size());
      sessions_.push_back(s);
    }
    DiscTrack d;
    d.number = t.number;
    d.session = t.session;
    d.data = t.mode != TrackMode::Audio;
    d.control = static_cast<std::uint8_t>(d.data ? 0x04 | (t.flags & 0x02) : t.flags);
    d.regionStart = next;
    d.imageFrame = t.index1;
    if (t.pregap > 0) segments_.push_back({next, t.pregap, -1, 0});
    next += t.pregap;
    if (runEnd > runStart)
      segments_.push_back({next, static_cast<std::int32_t>(runEnd - runStart), t.file, runStart});
    d.start = next + beforeIndex1;
    next += static_cast<std::int32_t>(runEnd - runStart);
    if (t.postgap > 0) segments_.push_back({next, t.postgap, -1, 0});
    next += t.postgap;
    tracks_.push_back(d);
    sessions_.back().lastTrack = static_cast<int>(tracks_.size() - 1);
  }
  sessions_.back().leadOut = next;
  for (const DiscSession& s : sessions_) {
    for (int k = s.firstTrack; k <= s.lastTrack; ++k) {
      const std::int32_t end = k < s.lastTrack ? tracks_[static_cast<std::size_t>(k + 1)].start : s.leadOut;
      tracks_[static_cast<std::size_t>(k)].length = end - tracks_[static_cast<std::size_t>(k)].start;
      if (tracks_[static_cast<std::size_t>(k)].length <= 0) {
        if (error) *error = "track " + std::to_string(tracks_[static_cast<std::size_t>(k)].number) + " is empty";
        return -1;
      }
    }
  }

  if (!cue.cdTextFile.empty()) {
    const std::string path = IsAbsolute(cue.cdTextFile) ? cue.cdTextFile : dir + cue.cdTextFile;
    if (LoadCdTextFile(path, &cdText_) != 0) {
      if (error) *error = "cannot read CD-TEXT file " + path;
      return -1;
    }
  } else if (!cue.cdText.empty()) {
    cdText_ = BuildCdTextPacks(cue.cdText, static_cast<std::uint8_t>(tracks_.front().number),
                               static_cast<std::uint8_t>(tracks_.back().number));
    if (cdText_.empty()) {
      if (error) *error = "CD-TEXT does not fit in 255 packs per block";
      return -1;
    }
  }
  return 0;
}

int Disc::TrackAt(std::int32_t lba) const {
  for (const DiscSession& s : sessions_) {
    const std::int32_t first = tracks_[static_cast<std::size_t>(s.firstTrack)].regionStart;
    if (lba < first || lba >= s.leadOut) continue;
    for (int k = s.lastTrack; k >= s.firstTrack; --k)
      if (lba >= tracks_[static_cast<std::size_t>(k)].regionStart) return k;
  }
  return -1;
}

int Disc::ReadRawSector(std::int32_t lba, std::uint8_t* out) const {
  if (TrackAt(lba) < 0) return -1;
  std::memset(out, 0, kFrameBytes);
  for (const Segment& seg : segments_) {
    if (lba < seg.lba || lba >= seg.lba + seg.frames) continue;
    if (seg.file < 0) return 0;
    const std::size_t f = static_cast<std::size_t>(seg.file);
    const std::int64_t frame = seg.fileFrame + (lba - seg.lba);
    std::lock_guard<std::mutex> lock(streamLock_);
    if (!streams_[f]) {
      streams_[f].reset(new std::ifstream(paths_[f], std::ios::binary));
    }
    std::ifstream& in = *streams_[f];
    if (!in.is_open()) return -1;
    in.clear();
    in.seekg(frame * kFrameBytes);
    in.read(reinterpret_cast<char*>(out), kFrameBytes);
    // A short last frame stays zero-padded.
    if (in.gcount() <= 0 && frame < fileFrames_[f]) return -1;
    return 0;
  }
  return 0;  // between a track's segments: silence
}

}  // namespace vdrive
