// The pictures as PDF and PNG with librsvg over cairo.
#include <cairo-pdf.h>
#include <cairo.h>
#include <librsvg/rsvg.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "render/render.h"

namespace kinex {
namespace {

// SOURCE_DATE_EPOCH (seconds since 1970, UTC) as an ISO 8601 date, "" when
// it is not set or not such a number.
std::string source_date() {
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text == '\0') return {};
  char* end = nullptr;
  const long long seconds = std::strtoll(text, &end, 10);
  if (*end != '\0' || seconds < 0) return {};
  const std::time_t at = static_cast<std::time_t>(seconds);
  std::tm utc{};
  if (gmtime_r(&at, &utc) == nullptr) return {};
  char date[32];
  return std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", &utc) > 0 ? date : "";
}

// px per inch of SVG user units, and points per px.
constexpr double kSvgDpi = 96.0;
constexpr double kPointsPerPx = 72.0 / kSvgDpi;
// The largest PNG drawn: cairo's limit of a side, and 400 MB of pixels.
constexpr double kMaxPngSide = 32767.0;
constexpr double kMaxPngPixels = 1e8;

struct HandleUnref {
  void operator()(RsvgHandle* handle) const { g_object_unref(handle); }
};
struct SurfaceDestroy {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDestroy {
  void operator()(cairo_t* context) const { cairo_destroy(context); }
};
using Handle = std::unique_ptr<RsvgHandle, HandleUnref>;
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDestroy>;
using Context = std::unique_ptr<cairo_t, ContextDestroy>;

// cairo's write function: appends to the std::string `closure`.
cairo_status_t append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// The message of `failure`, which it frees.
std::string take_message(GError* failure) {
  std::string message = failure != nullptr ? failure->message : "unknown error";
  if (failure != nullptr) g_error_free(failure);
  return message;
}

std::string number(double x) {
  std::string text = std::to_string(x);
  text.erase(text.find_last_not_of('0') + 1);
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

}  // namespace

// fontconfig, which finds the fonts, keeps what it read to the end of the
// process and never frees it; a program checked for leaks
// (-fsanitize=address) would count it. The suppressions of the leak check,
// weak so that a program's own take precedence; nothing else calls this.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

bool render_picture(std::string_view svg, PictureFormat format, double dpi, std::string& bytes,
                    std::string& error) {
  bytes.clear();
  if (format == PictureFormat::svg) {
    bytes.assign(svg);
    return true;
  }
  if (format == PictureFormat::png && !(dpi >= kPictureMinDpi && dpi <= kPictureMaxDpi)) {
    error = "a resolution of " + number(dpi) + " dpi: give " + number(kPictureMinDpi) + " to " +
            number(kPictureMaxDpi) + " dots per inch";
    return false;
  }
  GError* failure = nullptr;
  const Handle handle(
      rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()), svg.size(), &failure));
  if (!handle) {
    error = "the picture cannot be read as SVG: " + take_message(failure);
    return false;
  }
  rsvg_handle_set_dpi(handle.get(), kSvgDpi);
  double width = 0.0, height = 0.0;
  if (!rsvg_handle_get_intrinsic_size_in_pixels(handle.get(), &width, &height) ||
      !(width > 0.0 && height > 0.0 && std::isfinite(width) && std::isfinite(height))) {
    error = "the picture has no width and height in px";
    return false;
  }
  std::string out;
  Surface surface;
  RsvgRectangle viewport{0.0, 0.0, width, height};
  if (format == PictureFormat::pdf) {
    viewport.width = width * kPointsPerPx;
    viewport.height = height * kPointsPerPx;
    surface.reset(
        cairo_pdf_surface_create_for_stream(append, &out, viewport.width, viewport.height));
    // The same picture gives the same bytes where the build or the user
    // fixes the time, as SOURCE_DATE_EPOCH says (reproducible builds).
    const std::string date = source_date();
    if (!date.empty() && cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS)
      cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATE_DATE, date.c_str());
  } else {
    viewport.width = width * dpi / kSvgDpi;
    viewport.height = height * dpi / kSvgDpi;
    // Whole pixels, rounded up; a size a hair above a whole number (the SVG's
    // size as librsvg reads it, in single precision) is that number.
    const auto whole = [](double px) { return std::ceil(px - 1e-4); };
    const double columns = whole(viewport.width), rows = whole(viewport.height);
    if (columns > kMaxPngSide || rows > kMaxPngSide || columns * rows > kMaxPngPixels) {
      error = "a PNG of " + number(columns) + " x " + number(rows) + " px at " + number(dpi) +
              " dpi is too large (at most " + number(kMaxPngSide) + " px a side and " +
              number(kMaxPngPixels / 1e6) + " million px); give a lower resolution";
      return false;
    }
    surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(columns),
                                             static_cast<int>(rows)));
  }
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    error = std::string("cairo: ") + cairo_status_to_string(cairo_surface_status(surface.get()));
    return false;
  }
  {
    const Context context(cairo_create(surface.get()));
    if (format == PictureFormat::png) {
      cairo_set_source_rgb(context.get(), 1.0, 1.0, 1.0);
      cairo_paint(context.get());
    }
    if (!rsvg_handle_render_document(handle.get(), context.get(), &viewport, &failure)) {
      error = "the picture cannot be drawn: " + take_message(failure);
      return false;
    }
  }
  cairo_status_t status = CAIRO_STATUS_SUCCESS;
  if (format == PictureFormat::pdf) {
    cairo_surface_finish(surface.get());
    status = cairo_surface_status(surface.get());
  } else {
    status = cairo_surface_write_to_png_stream(surface.get(), append, &out);
  }
  if (status != CAIRO_STATUS_SUCCESS) {
    error = std::string("cairo: ") + cairo_status_to_string(status);
    return false;
  }
  bytes = std::move(out);
  return true;
}

}  // namespace kinex
