// The pictures of kinex (kinex/pictures.h) as PDF or PNG: an SVG document
// rendered in process, with the font the pictures are laid out for.
#pragma once

#include <string>
#include <string_view>

namespace kinex {

// The formats a picture is written in.
enum class PictureFormat { svg, pdf, png };

// The resolution of a PNG unless another is asked for: 300 dots per inch,
// what journals ask of figures with text and halftones.
inline constexpr double kPictureDpi = 300.0;
// The resolutions a PNG may be rendered at, in dots per inch.
inline constexpr double kPictureMinDpi = 10.0;
inline constexpr double kPictureMaxDpi = 2400.0;

namespace features {

// The format a file name asks for by its extension, ".svg", ".pdf" or
// ".png" in any case; false for any other name.
bool picture_format_of(std::string_view name, PictureFormat& format);

// `svg` (a whole SVG document, as the pictures of kinex/pictures.h are) in
// `format`, into `bytes`:
//   svg: the document itself;
//   pdf: one page of the document's size (its px at 96 per inch, in
//        points), vector graphics, the fonts embedded (subsets);
//   png: width x height px of the document at `dpi` dots per inch (its px
//        times dpi / 96, rounded up), on white.
// False with the reason in `error` (bytes then empty) for a document that
// cannot be read, a `dpi` outside kPictureMinDpi..kPictureMaxDpi or a PNG
// too large to be drawn.
bool render_picture(std::string_view svg, PictureFormat format, double dpi, std::string& bytes,
                    std::string& error);

}  // namespace features

}  // namespace kinex
