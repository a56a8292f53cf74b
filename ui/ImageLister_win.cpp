#include "ui/ImageLister.h"

#include <memory>

#include "image/PxImage.h"
#include "ui/SkinFlavour.h"

namespace Corvane {
namespace UI {

namespace {

// Decodes one "PNG" resource into image. On failure the image stays empty
// with the reason as its last error.
void DecodeResource(HMODULE module, int id, PxImage& image) {
    HRSRC resource = module != nullptr ? FindSkinResource(module, id) : nullptr;
    image.LoadResource(resource, PXIMAGE_FORMAT_PNG, module);
}

}  // namespace

ImageLister& ImageLister::Instance() {
    static ImageLister* store = new ImageLister();  // lives until process end
    return *store;
}

ImageLister::ImageLister() : module_(GetModuleHandleW(nullptr)) {}

ImageLister::~ImageLister() = default;

HMODULE ImageLister::GetModule() const { return ResolveSkinModule(module_); }

void ImageLister::SetModule(HMODULE module) { module_ = module; }

void ImageLister::LoadAll() { LoadFrom(GetModule()); }

void ImageLister::LoadFrom(HMODULE module) {
    std::size_t count = 0;
    const SkinEntry* table = SkinTable(&count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = table[i].name;
        if (pictures_.count(name) != 0) continue;
        std::unique_ptr<PxImage> image(new PxImage());
        DecodeResource(module, table[i].id, *image);
        pictures_[name] = std::move(image);
    }
}

PxImage* ImageLister::Find(const std::string& name) const {
    const auto it = pictures_.find(name);
    return it != pictures_.end() ? it->second.get() : nullptr;
}

void ImageLister::DrawImage(HDC dc, const std::string& name, const RECT& rect) const {
    PxImage* image = Find(name);
    if (image == nullptr || !image->IsValid() || dc == nullptr) return;
    image->Draw(dc, rect, nullptr, false);
}

void ImageLister::Clear() { pictures_.clear(); }

}  // namespace UI
}  // namespace Corvane
