#pragma once
// Corvane::UI::ImageLister: the skin store. Decodes the deliverable's "PNG"
// resources once into PxImage pictures kept by name, draws them by name and
// hands them out by name.
//
// Ownership: the store owns its pictures until Clear. Threads: window thread
// only; the store is created on first use without locking.
#include <windows.h>

#include <map>
#include <memory>
#include <string>

class PxImage;

namespace Corvane {
namespace UI {

// One entry of the flavour's skin table: picture name and resource id.
struct SkinEntry {
    const char* name;
    int id;
};

// The flavour's skin table, in load order (ui/SkinTable_np.cpp, _ax.cpp).
const SkinEntry* SkinTable(std::size_t* count);

class ImageLister {
public:
    // The process-wide store, created on first use with an empty map.
    static ImageLister& Instance();
    virtual ~ImageLister();
    ImageLister(const ImageLister&) = delete;
    ImageLister& operator=(const ImageLister&) = delete;

    // Loads the skin table from the module's resources. An entry whose
    // resource is missing or undecodable is still stored: an empty picture
    // with the reason as its last error. A name already present keeps its
    // first picture.
    void LoadAll();
    // The same from an explicit module (used by LoadAll and by tests).
    void LoadFrom(HMODULE module);
    // The stored picture (owned by the store; valid until Clear), or null
    // when the name is unknown.
    PxImage* Find(const std::string& name) const;
    // Draws the picture stretched to the rectangle, opaque or per-pixel
    // blended by its alpha; an unknown name or empty picture draws nothing.
    void DrawImage(HDC dc, const std::string& name, const RECT& rect) const;
    // Destroys every picture and empties the map.
    void Clear();
    std::size_t Count() const { return pictures_.size(); }

    // The module whose resources LoadAll reads: in npPixmend the one the
    // library attach set (the process's main module until then); in Pixmend
    // the module this code is linked into.
    HMODULE GetModule() const;
    // npPixmend's library attach hands its own instance handle over here;
    // Pixmend ignores it and always reads from its own module.
    void SetModule(HMODULE module);

private:
    ImageLister();

    std::map<std::string, std::unique_ptr<PxImage>> pictures_;
    HMODULE module_;
};

}  // namespace UI
}  // namespace Corvane
