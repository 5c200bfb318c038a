#include "host/output/page_inks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

extern "C" {
#include <lcms2.h>
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

namespace korvex {

namespace {

// The lcms2 transforms from MuPDF's gray and RGB into the chosen CMYK profile.
struct ProfileConverter {
  cmsHTRANSFORM grayColour = nullptr;  // float gray 0…1 → CMYK 0…100
  cmsHTRANSFORM rgbColour = nullptr;
  cmsHTRANSFORM gray8 = nullptr;  // pixels, with or without alpha
  cmsHTRANSFORM grayAlpha8 = nullptr;
  cmsHTRANSFORM rgb8 = nullptr;
  cmsHTRANSFORM rgbAlpha8 = nullptr;

  ProfileConverter() = default;
  ProfileConverter(const ProfileConverter&) = delete;
  ProfileConverter& operator=(const ProfileConverter&) = delete;
  ~ProfileConverter() {
    for (cmsHTRANSFORM t : {grayColour, rgbColour, gray8, grayAlpha8, rgb8, rgbAlpha8})
      if (t) cmsDeleteTransform(t);
  }

  bool complete() const { return grayColour && rgbColour && gray8 && grayAlpha8 && rgb8 && rgbAlpha8; }

  static std::unique_ptr<ProfileConverter> make(const std::string& profileBytes) {
    struct Closer {
      void operator()(void* p) const {
        if (p) cmsCloseProfile(p);
      }
    };
    using Profile = std::unique_ptr<void, Closer>;
    Profile cmyk(
        cmsOpenProfileFromMem(profileBytes.data(), static_cast<cmsUInt32Number>(profileBytes.size())));
    if (!cmyk || cmsGetColorSpace(cmyk.get()) != cmsSigCmykData) return nullptr;
    Profile srgb(cmsCreate_sRGBProfile());
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    Profile gray(gamma ? cmsCreateGrayProfile(cmsD50_xyY(), gamma) : nullptr);
    if (gamma) cmsFreeToneCurve(gamma);
    if (!srgb || !gray) return nullptr;
    auto converter = std::make_unique<ProfileConverter>();
    const cmsUInt32Number intent = INTENT_RELATIVE_COLORIMETRIC;
    const cmsUInt32Number flags = cmsFLAGS_BLACKPOINTCOMPENSATION;
    auto link = [&](void* from, cmsUInt32Number in, cmsUInt32Number out, cmsUInt32Number extra) {
      return cmsCreateTransform(from, in, cmyk.get(), out, intent, flags | extra);
    };
    converter->grayColour = link(gray.get(), TYPE_GRAY_FLT, TYPE_CMYK_FLT, 0);
    converter->rgbColour = link(srgb.get(), TYPE_RGB_FLT, TYPE_CMYK_FLT, 0);
    converter->gray8 = link(gray.get(), TYPE_GRAY_8, TYPE_CMYK_8, 0);
    converter->grayAlpha8 = link(gray.get(), TYPE_GRAYA_8, TYPE_CMYKA_8, cmsFLAGS_COPY_ALPHA);
    converter->rgb8 = link(srgb.get(), TYPE_RGB_8, TYPE_CMYK_8, 0);
    converter->rgbAlpha8 = link(srgb.get(), TYPE_RGBA_8, TYPE_CMYKA_8, cmsFLAGS_COPY_ALPHA);
    return converter->complete() ? std::move(converter) : nullptr;
  }
};

// Everything below runs inside MuPDF's fz_try, which leaves by longjmp: these
// functions hold no object with a destructor.

// The colour space a colour finally resolves to (an indexed or separation
// space's base).
fz_colorspace* finalSpace(fz_context* ctx, fz_colorspace* cs) {
  for (int depth = 0; cs && depth < 8; ++depth) {
    const enum fz_colorspace_type type = fz_colorspace_type(ctx, cs);
    if (type == FZ_COLORSPACE_INDEXED)
      cs = cs->u.indexed.base;
    else if (type == FZ_COLORSPACE_SEPARATION)
      cs = cs->u.separation.base;
    else
      break;
  }
  return cs;
}

bool endsInCmyk(fz_context* ctx, fz_colorspace* cs) {
  fz_colorspace* final = finalSpace(ctx, cs);
  return !final || fz_colorspace_type(ctx, final) == FZ_COLORSPACE_CMYK;
}

// A colour in the profile's CMYK (0…1); false when it passes as it is.
bool toProfile(fz_context* ctx, const ProfileConverter* converter, fz_colorspace* cs, const float* colour,
               fz_color_params params, float cmyk[4]) {
  if (!cs || !colour || endsInCmyk(ctx, cs)) return false;
  float values[4] = {0, 0, 0, 0};
  const bool gray = fz_colorspace_type(ctx, finalSpace(ctx, cs)) == FZ_COLORSPACE_GRAY;
  fz_convert_color(ctx, cs, colour, gray ? fz_device_gray(ctx) : fz_device_rgb(ctx), values, nullptr, params);
  cmsDoTransform(gray ? converter->grayColour : converter->rgbColour, values, cmyk, 1);
  for (int i = 0; i < 4; ++i) cmyk[i] = std::clamp(cmyk[i] / 100.0f, 0.0f, 1.0f);
  return true;
}

// A new device-CMYK pixmap with the pixmap's colours in the profile.
fz_pixmap* pixmapToProfile(fz_context* ctx, const ProfileConverter* converter, fz_pixmap* source) {
  fz_pixmap* rgb = nullptr;
  fz_pixmap* cmyk = nullptr;
  fz_var(rgb);
  fz_var(cmyk);
  fz_try(ctx) {
    fz_pixmap* from = source;
    fz_colorspace* cs = fz_pixmap_colorspace(ctx, source);
    const bool gray = cs && fz_colorspace_type(ctx, cs) == FZ_COLORSPACE_GRAY;
    const bool alpha = fz_pixmap_alpha(ctx, source) != 0;
    if (!gray && !(cs && fz_colorspace_type(ctx, cs) == FZ_COLORSPACE_RGB)) {
      rgb = fz_convert_pixmap(ctx, source, fz_device_rgb(ctx), nullptr, nullptr, fz_default_color_params, 1);
      from = rgb;
    }
    const int w = fz_pixmap_width(ctx, from);
    const int h = fz_pixmap_height(ctx, from);
    cmyk = fz_new_pixmap(ctx, fz_device_cmyk(ctx), w, h, nullptr, alpha ? 1 : 0);
    cmsHTRANSFORM t = gray ? (alpha ? converter->grayAlpha8 : converter->gray8)
                           : (alpha ? converter->rgbAlpha8 : converter->rgb8);
    const unsigned char* in = fz_pixmap_samples(ctx, from);
    unsigned char* out = fz_pixmap_samples(ctx, cmyk);
    const std::ptrdiff_t inStride = fz_pixmap_stride(ctx, from);
    const std::ptrdiff_t outStride = fz_pixmap_stride(ctx, cmyk);
    for (int y = 0; y < h; ++y)
      cmsDoTransform(t, in + y * inStride, out + y * outStride, static_cast<cmsUInt32Number>(w));
  }
  fz_always(ctx) {
    fz_drop_pixmap(ctx, rgb);
  }
  fz_catch(ctx) {
    fz_drop_pixmap(ctx, cmyk);
    fz_rethrow(ctx);
  }
  return cmyk;
}

// A device that converts gray and RGB colours and pictures into the profile
// and passes everything on to the draw device.
struct ProfileDevice {
  fz_device super;
  fz_device* target;
  const ProfileConverter* converter;
};

ProfileDevice* self(fz_device* dev) {
  return reinterpret_cast<ProfileDevice*>(dev);
}

void fillPath(fz_context* ctx, fz_device* dev, const fz_path* path, int evenOdd, fz_matrix ctm,
              fz_colorspace* cs, const float* colour, float alpha, fz_color_params params) {
  float cmyk[4];
  if (toProfile(ctx, self(dev)->converter, cs, colour, params, cmyk))
    fz_fill_path(ctx, self(dev)->target, path, evenOdd, ctm, fz_device_cmyk(ctx), cmyk, alpha, params);
  else
    fz_fill_path(ctx, self(dev)->target, path, evenOdd, ctm, cs, colour, alpha, params);
}

void strokePath(fz_context* ctx, fz_device* dev, const fz_path* path, const fz_stroke_state* stroke,
                fz_matrix ctm, fz_colorspace* cs, const float* colour, float alpha, fz_color_params params) {
  float cmyk[4];
  if (toProfile(ctx, self(dev)->converter, cs, colour, params, cmyk))
    fz_stroke_path(ctx, self(dev)->target, path, stroke, ctm, fz_device_cmyk(ctx), cmyk, alpha, params);
  else
    fz_stroke_path(ctx, self(dev)->target, path, stroke, ctm, cs, colour, alpha, params);
}

void fillText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm, fz_colorspace* cs,
              const float* colour, float alpha, fz_color_params params) {
  float cmyk[4];
  if (toProfile(ctx, self(dev)->converter, cs, colour, params, cmyk))
    fz_fill_text(ctx, self(dev)->target, text, ctm, fz_device_cmyk(ctx), cmyk, alpha, params);
  else
    fz_fill_text(ctx, self(dev)->target, text, ctm, cs, colour, alpha, params);
}

void strokeText(fz_context* ctx, fz_device* dev, const fz_text* text, const fz_stroke_state* stroke,
                fz_matrix ctm, fz_colorspace* cs, const float* colour, float alpha, fz_color_params params) {
  float cmyk[4];
  if (toProfile(ctx, self(dev)->converter, cs, colour, params, cmyk))
    fz_stroke_text(ctx, self(dev)->target, text, stroke, ctm, fz_device_cmyk(ctx), cmyk, alpha, params);
  else
    fz_stroke_text(ctx, self(dev)->target, text, stroke, ctm, cs, colour, alpha, params);
}

void fillImageMask(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, fz_colorspace* cs,
                   const float* colour, float alpha, fz_color_params params) {
  float cmyk[4];
  if (toProfile(ctx, self(dev)->converter, cs, colour, params, cmyk))
    fz_fill_image_mask(ctx, self(dev)->target, image, ctm, fz_device_cmyk(ctx), cmyk, alpha, params);
  else
    fz_fill_image_mask(ctx, self(dev)->target, image, ctm, cs, colour, alpha, params);
}

void fillImage(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, float alpha,
               fz_color_params params) {
  if (!image->colorspace || endsInCmyk(ctx, image->colorspace)) {
    fz_fill_image(ctx, self(dev)->target, image, ctm, alpha, params);
    return;
  }
  fz_pixmap* decoded = nullptr;
  fz_pixmap* cmyk = nullptr;
  fz_image* converted = nullptr;
  fz_var(decoded);
  fz_var(cmyk);
  fz_var(converted);
  fz_try(ctx) {
    // Decoded at the size it is drawn (MuPDF may subsample); the new picture
    // fills the same unit square whatever its pixel size.
    fz_matrix drawn = ctm;
    int w = 0;
    int h = 0;
    decoded = fz_get_pixmap_from_image(ctx, image, nullptr, &drawn, &w, &h);
    cmyk = pixmapToProfile(ctx, self(dev)->converter, decoded);
    converted = fz_new_image_from_pixmap(ctx, cmyk, image->mask);
    fz_fill_image(ctx, self(dev)->target, converted, ctm, alpha, params);
  }
  fz_always(ctx) {
    fz_drop_image(ctx, converted);
    fz_drop_pixmap(ctx, cmyk);
    fz_drop_pixmap(ctx, decoded);
  }
  fz_catch(ctx) fz_rethrow(ctx);
}

void fillShade(fz_context* ctx, fz_device* dev, fz_shade* shade, fz_matrix ctm, float alpha,
               fz_color_params params) {
  // Shadings keep MuPDF's device conversion.
  fz_fill_shade(ctx, self(dev)->target, shade, ctm, alpha, params);
}

void clipPath(fz_context* ctx, fz_device* dev, const fz_path* path, int evenOdd, fz_matrix ctm,
              fz_rect scissor) {
  fz_clip_path(ctx, self(dev)->target, path, evenOdd, ctm, scissor);
}
void clipStrokePath(fz_context* ctx, fz_device* dev, const fz_path* path, const fz_stroke_state* stroke,
                    fz_matrix ctm, fz_rect scissor) {
  fz_clip_stroke_path(ctx, self(dev)->target, path, stroke, ctm, scissor);
}
void clipText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm, fz_rect scissor) {
  fz_clip_text(ctx, self(dev)->target, text, ctm, scissor);
}
void clipStrokeText(fz_context* ctx, fz_device* dev, const fz_text* text, const fz_stroke_state* stroke,
                    fz_matrix ctm, fz_rect scissor) {
  fz_clip_stroke_text(ctx, self(dev)->target, text, stroke, ctm, scissor);
}
void ignoreText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm) {
  fz_ignore_text(ctx, self(dev)->target, text, ctm);
}
void clipImageMask(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, fz_rect scissor) {
  fz_clip_image_mask(ctx, self(dev)->target, image, ctm, scissor);
}
void popClip(fz_context* ctx, fz_device* dev) {
  fz_pop_clip(ctx, self(dev)->target);
}
void beginMask(fz_context* ctx, fz_device* dev, fz_rect area, int luminosity, fz_colorspace* cs,
               const float* bc, fz_color_params params) {
  fz_begin_mask(ctx, self(dev)->target, area, luminosity, cs, bc, params);
}
void endMask(fz_context* ctx, fz_device* dev) {
  fz_end_mask(ctx, self(dev)->target);
}
void beginGroup(fz_context* ctx, fz_device* dev, fz_rect area, fz_colorspace* cs, int isolated, int knockout,
                int blendmode, float alpha) {
  fz_begin_group(ctx, self(dev)->target, area, cs, isolated, knockout, blendmode, alpha);
}
void endGroup(fz_context* ctx, fz_device* dev) {
  fz_end_group(ctx, self(dev)->target);
}
int beginTile(fz_context* ctx, fz_device* dev, fz_rect area, fz_rect view, float xstep, float ystep,
              fz_matrix ctm, int id) {
  return fz_begin_tile_id(ctx, self(dev)->target, area, view, xstep, ystep, ctm, id);
}
void endTile(fz_context* ctx, fz_device* dev) {
  fz_end_tile(ctx, self(dev)->target);
}
void renderFlags(fz_context* ctx, fz_device* dev, int set, int clear) {
  fz_render_flags(ctx, self(dev)->target, set, clear);
}
void setDefaultColorspaces(fz_context* ctx, fz_device* dev, fz_default_colorspaces* spaces) {
  fz_set_default_colorspaces(ctx, self(dev)->target, spaces);
}
void beginLayer(fz_context* ctx, fz_device* dev, const char* name) {
  fz_begin_layer(ctx, self(dev)->target, name);
}
void endLayer(fz_context* ctx, fz_device* dev) {
  fz_end_layer(ctx, self(dev)->target);
}

fz_device* newProfileDevice(fz_context* ctx, fz_device* target, const ProfileConverter* converter) {
  ProfileDevice* dev = fz_new_derived_device(ctx, ProfileDevice);
  dev->target = target;
  dev->converter = converter;
  fz_device* d = &dev->super;
  d->fill_path = fillPath;
  d->stroke_path = strokePath;
  d->clip_path = clipPath;
  d->clip_stroke_path = clipStrokePath;
  d->fill_text = fillText;
  d->stroke_text = strokeText;
  d->clip_text = clipText;
  d->clip_stroke_text = clipStrokeText;
  d->ignore_text = ignoreText;
  d->fill_shade = fillShade;
  d->fill_image = fillImage;
  d->fill_image_mask = fillImageMask;
  d->clip_image_mask = clipImageMask;
  d->pop_clip = popClip;
  d->begin_mask = beginMask;
  d->end_mask = endMask;
  d->begin_group = beginGroup;
  d->end_group = endGroup;
  d->begin_tile = beginTile;
  d->end_tile = endTile;
  d->render_flags = renderFlags;
  d->set_default_colorspaces = setDefaultColorspaces;
  d->begin_layer = beginLayer;
  d->end_layer = endLayer;
  return d;
}

struct OpenPage {
  fz_buffer* buffer;
  fz_stream* stream;
  fz_document* doc;
  fz_page* page;
  fz_rect bounds;       // as MuPDF draws it: crop box within media box, turned by /Rotate
  fz_rect cropBox;      // as the file gives it (the media box when it has none)
  fz_buffer* metadata;  // the catalog's metadata stream, or null
};

void closePage(fz_context* ctx, OpenPage* open) {
  fz_drop_buffer(ctx, open->metadata);
  fz_drop_page(ctx, open->page);
  fz_drop_document(ctx, open->doc);
  fz_drop_stream(ctx, open->stream);
  fz_drop_buffer(ctx, open->buffer);
  *open = OpenPage{};
}

int openFirstPage(fz_context* ctx, const unsigned char* data, size_t size, OpenPage* open, char* error,
                  size_t errorSize) {
  *open = OpenPage{};
  fz_try(ctx) {
    open->buffer = fz_new_buffer_from_shared_data(ctx, data, size);
    open->stream = fz_open_buffer(ctx, open->buffer);
    open->doc = fz_open_document_with_stream(ctx, "application/pdf", open->stream);
    if (fz_count_pages(ctx, open->doc) < 1) fz_throw(ctx, FZ_ERROR_GENERIC, "the PDF has no page");
    open->page = fz_load_page(ctx, open->doc, 0);
    open->bounds = fz_bound_page(ctx, open->page);
    open->cropBox = open->bounds;
    if (pdf_page* page = pdf_page_from_fz_page(ctx, open->page)) {
      pdf_obj* box = pdf_dict_get_inheritable(ctx, page->obj, PDF_NAME(CropBox));
      if (!pdf_is_array(ctx, box)) box = pdf_dict_get_inheritable(ctx, page->obj, PDF_NAME(MediaBox));
      if (pdf_is_array(ctx, box)) open->cropBox = pdf_to_rect(ctx, box);
    }
    if (pdf_document* pdf = pdf_specifics(ctx, open->doc)) {
      pdf_obj* root = pdf_dict_get(ctx, pdf_trailer(ctx, pdf), PDF_NAME(Root));
      pdf_obj* metadata = pdf_dict_get(ctx, root, PDF_NAME(Metadata));
      if (pdf_is_stream(ctx, metadata)) {
        fz_try(ctx) {
          open->metadata = pdf_load_stream(ctx, metadata);
        }
        fz_catch(ctx) {
          open->metadata = nullptr;
        }  // unreadable metadata names no profile
      }
    }
  }
  fz_catch(ctx) {
    std::snprintf(error, errorSize, "%s", fz_caught_message(ctx));
    closePage(ctx, open);
    return 0;
  }
  return 1;
}

int drawPage(fz_context* ctx, fz_page* page, fz_matrix ctm, fz_irect area, const ProfileConverter* converter,
             fz_pixmap** out, char* error, size_t errorSize) {
  fz_pixmap* pixmap = nullptr;
  fz_device* draw = nullptr;
  fz_device* profile = nullptr;
  fz_var(pixmap);
  fz_var(draw);
  fz_var(profile);
  fz_try(ctx) {
    pixmap = fz_new_pixmap_with_bbox(ctx, fz_device_cmyk(ctx), area, nullptr, 0);
    fz_clear_pixmap(ctx, pixmap);  // no ink anywhere
    draw = fz_new_draw_device(ctx, fz_identity, pixmap);
    if (converter) profile = newProfileDevice(ctx, draw, converter);
    fz_device* top = profile ? profile : draw;
    fz_run_page(ctx, page, top, ctm, nullptr);
    fz_close_device(ctx, top);
    if (profile) fz_close_device(ctx, draw);
  }
  fz_always(ctx) {
    fz_drop_device(ctx, profile);
    fz_drop_device(ctx, draw);
  }
  fz_catch(ctx) {
    std::snprintf(error, errorSize, "%s", fz_caught_message(ctx));
    fz_drop_pixmap(ctx, pixmap);
    return 0;
  }
  *out = pixmap;
  return 1;
}

void quiet(void*, const char*) {}

// The length between two edges in whole points, whichever is first; 0 when not finite.
double wholePoints(float a, float b) {
  const double length = std::fabs(double(b) - double(a));
  return std::isfinite(length) ? std::trunc(length) : 0;
}

struct ContextCloser {
  void operator()(fz_context* ctx) const { fz_drop_context(ctx); }
};

}  // namespace

PageInkScan scanFirstPageInks(const std::string& pdfBytes, const InkProfileChooser& chooseProfile,
                              std::int64_t maxPixels) {
  PageInkScan scan;
  std::unique_ptr<fz_context, ContextCloser> context(fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT));
  fz_context* ctx = context.get();
  if (!ctx) {
    scan.message = "MuPDF could not start";
    return scan;
  }
  // A damaged file is the caller's answer, not noise on standard error.
  fz_set_warning_callback(ctx, quiet, nullptr);
  fz_set_error_callback(ctx, quiet, nullptr);
  fz_register_document_handlers(ctx);

  OpenPage open{};
  char error[256] = {0};
  if (!openFirstPage(ctx, reinterpret_cast<const unsigned char*>(pdfBytes.data()), pdfBytes.size(), &open,
                     error, sizeof error)) {
    scan.message = std::string("the PDF could not be read: ") + error;
    return scan;
  }
  std::unique_ptr<OpenPage, std::function<void(OpenPage*)>> closer(&open,
                                                                   [ctx](OpenPage* p) { closePage(ctx, p); });

  // An empty crop box shows nothing (MuPDF would draw a default page size instead).
  if (wholePoints(open.cropBox.x0, open.cropBox.x1) < 1 ||
      wholePoints(open.cropBox.y0, open.cropBox.y1) < 1) {
    scan.inks = PageInks::blackOnly;
    return scan;
  }
  // MuPDF's bounds are the crop box right way round, turned as the page is.
  const fz_rect box = open.bounds;
  const double width = wholePoints(box.x0, box.x1);
  const double height = wholePoints(box.y0, box.y1);
  if (width < 1 || height < 1) {
    scan.inks = PageInks::blackOnly;
    return scan;
  }
  double scale = 1;
  const double pixels = width * height;
  if (pixels > double(std::max<std::int64_t>(maxPixels, 1))) scale = std::sqrt(double(maxPixels) / pixels);
  scan.width = std::max(1, static_cast<int>(std::floor(width * scale)));
  scan.height = std::max(1, static_cast<int>(std::floor(height * scale)));

  std::string xmp;
  if (open.metadata) {
    unsigned char* data = nullptr;
    const size_t length = fz_buffer_storage(ctx, open.metadata, &data);
    xmp.assign(reinterpret_cast<const char*>(data), length);
  }
  std::unique_ptr<ProfileConverter> converter;
  if (chooseProfile) {
    if (std::optional<std::string> profile = chooseProfile(xmp)) converter = ProfileConverter::make(*profile);
  }
  scan.iccProfileUsed = converter != nullptr;

  const fz_matrix ctm = fz_scale(static_cast<float>(scale), static_cast<float>(scale));
  const fz_rect drawn = fz_transform_rect(box, ctm);
  fz_irect area;
  area.x0 = static_cast<int>(std::floor(std::clamp<double>(drawn.x0, -1e9, 1e9)));
  area.y0 = static_cast<int>(std::floor(std::clamp<double>(drawn.y0, -1e9, 1e9)));
  area.x1 = area.x0 + scan.width;
  area.y1 = area.y0 + scan.height;
  fz_pixmap* pixmap = nullptr;
  if (!drawPage(ctx, open.page, ctm, area, converter.get(), &pixmap, error, sizeof error)) {
    scan.message = std::string("page 1 could not be drawn: ") + error;
    return scan;
  }
  const unsigned char* samples = fz_pixmap_samples(ctx, pixmap);
  const std::ptrdiff_t stride = fz_pixmap_stride(ctx, pixmap);
  const int n = fz_pixmap_components(ctx, pixmap);
  scan.inks = PageInks::blackOnly;
  for (int y = 0; y < scan.height && scan.inks == PageInks::blackOnly; ++y) {
    const unsigned char* row = samples + y * stride;
    for (int x = 0; x < scan.width; ++x) {
      const unsigned char* pixel = row + static_cast<std::ptrdiff_t>(x) * n;
      if (pixel[0] | pixel[1] | pixel[2]) {
        scan.inks = PageInks::colour;
        break;
      }
    }
  }
  fz_drop_pixmap(ctx, pixmap);
  return scan;
}

}  // namespace korvex
