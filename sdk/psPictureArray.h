// psCPictureArray: the pictures collected from one image file, and the
// layer's per-file picture collection.
#ifndef QUILLOMAT_SDK_PSPICTUREARRAY_H
#define QUILLOMAT_SDK_PSPICTUREARRAY_H

#include "psPicture.h"

#include <memory>
#include <string>
#include <vector>

class psCPictureArray {
public:
    psCPictureArray() = default;
    psCPictureArray(const psCPictureArray &) = delete;
    psCPictureArray &operator=(const psCPictureArray &) = delete;

    size_t size() const { return m_pictures.size(); }
    psCPicture &at(size_t index);
    void add(std::unique_ptr<psCPicture> picture) { m_pictures.push_back(std::move(picture)); }
    void clear() { m_pictures.clear(); }

private:
    std::vector<std::unique_ptr<psCPicture>> m_pictures;
};

// Fills the array with the picture of the file at path: a JPEG or THM alone,
// a CRW together with the THM of the same name when there is one. True only
// when the array holds a picture and the first one has its property list.
// Never raises.
bool collectFilePictures(const std::string &path, psCPictureArray &pictures);

#endif
