// Picture composition: the game layer's one picture loader and the composers
// of the stage picture.
//
// ScriptLoadImage turns a base name without extension into a new 32-bit
// surface, trying ".jpg", ".tif", ".png" and ".bmp" in that order; the first
// entry that exists is the one loaded. A missing picture gives null when it is
// optional and otherwise throws the error record "Script Error: file not found
// '%s'."; a picture that exists but does not decode always throws, naming the
// file and the decoder's reason.
//
// The composers draw layer pictures, in order, over what the target already
// holds (nothing is cleared), each weighted by its own opacity. A `.GRP` name
// of 7 or 9 characters is a three-character prefix and 4 or 6 layer characters
// ('0': no layer); a `.CHR`/`.CHL` name of 7 characters is a letter and three
// two-character fields (scene, body, face; "00": no picture). Names of other
// lengths compose nothing. A missing layer shows one box ("...:画像ファイル %s
// がありません。") and the next layer is still drawn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct IArchive;

namespace DxDraw {
class DxSurface;
}

// Longest base name: the name and its extension fit 256 units with the terminator.
inline constexpr std::size_t kMaxPictureName = 251;

// A new surface (one reference for the caller) or null (see the file comment).
// record nonzero adds the file to the loaded-files history before it is read.
// Names longer than kMaxPictureName are treated as missing.
DxDraw::DxSurface* ScriptLoadImage(IArchive* archive, std::u16string_view name, int optional, int record);

// A JPEG file in memory as a new 32-bit surface, or null when it does not decode.
DxDraw::DxSurface* DecodeJpegImage(const void* bytes, std::size_t size);

// One layer of a composed picture: the picture's base name and where it is drawn.
struct PictureLayer {
  std::u16string name;
  int32_t x = 0;
  int32_t y = 0;
};

// The layers of a `.GRP` name, base picture first; empty for other lengths.
std::vector<PictureLayer> GrpLayers(std::u16string_view name);
// The layers of a `.CHR` (command 3) or `.CHL` (command 4) name, with the body
// and face at the letter's position from the configuration; empty for names
// shorter than 7 characters.
std::vector<PictureLayer> CharacterLayers(std::u16string_view name, int command);

// Loads each layer from the archive (optional, recorded) and draws it onto the
// target; a missing one shows "<kind>:画像ファイル %s がありません。".
void ComposeLayers(DxDraw::DxSurface* target, IArchive* archive, const std::vector<PictureLayer>& layers,
                   std::u16string_view kind);

// The `.GRP` picture composed into StageWorkSurface from ScriptArchive.
void ComposeGrpPicture(std::u16string_view name);
// Composes the `.CHR` (3) or `.CHL` (4) layers of CharacterLayers into
// StageWorkSurface, over what it holds; despite the name no single image is
// loaded or returned, and nothing reaches the screen.
void LoadCharacterImage(std::u16string_view name, int command);
// The `.GRP`-style picture composed into a black surface of its own and shown
// above everything until a click: 1 for the left button (also both in one
// frame), 0 for the right; returns once both buttons are up.
int ComposeCgModePicture(std::u16string_view name);

// Whether a background with this album key (its first three characters) was
// shown, compared without regard to case: the album may show it.
bool IsAlbumName(std::u16string_view name);
