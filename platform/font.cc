// Font lookup and glyph rendering. fontconfig answers every query with some font, so a face is
// accepted only when the family it returns is the one we asked for; otherwise we go down our
// own list. Glyphs are rendered once, in 8-bit grey with FreeType's light hinting (which keeps
// the shapes' widths, so measured widths match what is drawn), and cached per font.
#include "platform/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <strings.h>

#include <algorithm>
#include <vector>

namespace platform {

struct Font::FreeTypeState {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~FreeTypeState() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

namespace {

struct Candidate {
  std::string family;  // what fontconfig must answer with
  int weight;          // FC_WEIGHT_*
};

// Finds the file of `c`; empty when fontconfig offers another family instead.
std::string FindFile(const Candidate& c, int* index, std::string* used) {
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(c.family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, c.weight);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddInteger(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  std::string file;
  if (match) {
    FcChar8* family = nullptr;
    FcChar8* path = nullptr;
    FcChar8* style = nullptr;
    int weight = 0;
    bool same_family = false;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
      if (strcasecmp(reinterpret_cast<char*>(family), c.family.c_str()) == 0) same_family = true;
    }
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    // A light face asked for and a regular one found is not the face we want either.
    bool weight_ok =
        c.weight >= FC_WEIGHT_REGULAR ? weight >= FC_WEIGHT_BOOK : weight < FC_WEIGHT_BOOK;
    if (same_family && weight_ok && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
      file = reinterpret_cast<char*>(path);
      if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
      *used = c.family;
      if (FcPatternGetString(match, FC_STYLE, 0, &style) == FcResultMatch) {
        *used += std::string(" ") + reinterpret_cast<char*>(style);
      }
    }
    FcPatternDestroy(match);
  }
  return file;
}

}  // namespace

std::unique_ptr<Font> Font::Load(const std::string& face_name, int points, std::string* error) {
  if (!FcInit()) {
    if (error) *error = "FcInit failed";
    return nullptr;
  }
  // "Segoe UI Light" -> family "Segoe UI" at light weight, and likewise for our fallbacks.
  std::string family = face_name;
  int weight = FC_WEIGHT_REGULAR;
  constexpr std::string_view kLight = " Light";
  if (family.size() > kLight.size() && family.ends_with(kLight)) {
    family.resize(family.size() - kLight.size());
    weight = FC_WEIGHT_LIGHT;
  }
  std::vector<Candidate> candidates = {{face_name, FC_WEIGHT_REGULAR},
                                       {family, weight},
                                       {"Open Sans", weight},
                                       {"Open Sans", FC_WEIGHT_REGULAR},
                                       {"DejaVu Sans", FC_WEIGHT_REGULAR}};
  if (weight == FC_WEIGHT_REGULAR) candidates.erase(candidates.begin());  // same as the next

  auto font = std::unique_ptr<Font>(new Font());
  font->ft_ = std::make_unique<FreeTypeState>();
  if (FT_Init_FreeType(&font->ft_->library) != 0) {
    if (error) *error = "FT_Init_FreeType failed";
    return nullptr;
  }
  font->pixel_size_ = PixelSizeForPoints(points);
  for (const Candidate& c : candidates) {
    int index = 0;
    std::string used;
    std::string file = FindFile(c, &index, &used);
    if (file.empty()) continue;
    FT_Face face = nullptr;
    if (FT_New_Face(font->ft_->library, file.c_str(), index, &face) != 0) continue;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(font->pixel_size_)) != 0) {
      FT_Done_Face(face);
      continue;
    }
    font->ft_->face = face;
    font->family_ = used;
    font->file_ = file;
    font->ascent_ = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    font->line_height_ = static_cast<int>((face->size->metrics.height + 63) >> 6);
    return font;
  }
  if (error) *error = "no font found for \"" + face_name + "\" nor its fallbacks";
  return nullptr;
}

Font::~Font() = default;

const canvas::Glyph* Font::GlyphFor(char32_t code_point) const {
  auto it = cache_.find(code_point);
  if (it != cache_.end()) return it->second.get();
  FT_Face face = ft_->face;
  FT_UInt index = FT_Get_Char_Index(face, code_point);
  std::unique_ptr<canvas::Glyph> glyph;
  if (index != 0 || code_point == 0) {
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) == 0) {
      FT_GlyphSlot slot = face->glyph;
      glyph = std::make_unique<canvas::Glyph>();
      glyph->left = slot->bitmap_left;
      glyph->top = ascent_ - slot->bitmap_top;
      glyph->advance = static_cast<int>((slot->advance.x + 32) >> 6);
      const FT_Bitmap& bm = slot->bitmap;
      if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
        glyph->mask.width = static_cast<int>(bm.width);
        glyph->mask.height = static_cast<int>(bm.rows);
        glyph->mask.coverage.resize(static_cast<size_t>(bm.width) * bm.rows);
        for (unsigned y = 0; y < bm.rows; ++y) {
          const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
          std::copy_n(src, bm.width,
                      glyph->mask.coverage.data() + static_cast<size_t>(y) * bm.width);
        }
      }
    }
  }
  const canvas::Glyph* result = glyph.get();
  cache_.emplace(code_point, std::move(glyph));  // also remembers a missing glyph
  return result;
}

int Font::Kerning(char32_t left, char32_t right) const {
  FT_Face face = ft_->face;
  if (!FT_HAS_KERNING(face)) return 0;
  FT_Vector k{0, 0};
  if (FT_Get_Kerning(face, FT_Get_Char_Index(face, left), FT_Get_Char_Index(face, right),
                     FT_KERNING_DEFAULT, &k) != 0) {
    return 0;
  }
  return static_cast<int>(k.x >> 6);
}

}  // namespace platform
