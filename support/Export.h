#pragma once
// Classes that the deliverables export to other modules (the byte streams and
// part of PxImage). Windows builds of the image library define
// PIXMEND_EXPORT_CLASSES; native builds leave the macro empty.
#if defined(_WIN32) && defined(PIXMEND_EXPORT_CLASSES)
#define PX_EXPORT __declspec(dllexport)
#else
#define PX_EXPORT
#endif
