#pragma once

#include "Bitmap.h"
#include "KernelObject.h"

#include <memory>

namespace kivo {

// An icon of a program's resources (HICON): its picture, whose key-coloured pixels are see-through.
class Icon final : public KernelObject {
public:
    explicit Icon(std::shared_ptr<Bitmap> picture)
        : m_picture(std::move(picture))
    {
    }

    const char* kind() const override { return "icon"; }
    const std::shared_ptr<Bitmap>& picture() const { return m_picture; }

private:
    std::shared_ptr<Bitmap> m_picture;
};

} // namespace kivo
