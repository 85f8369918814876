#pragma once
// A work plane: 513 x 513 single-precision floats, element (x, y) at x * 513 + y,
// x being the horizontal picture coordinate. Storage is 64-byte aligned and
// allocated once; the 513th row and column are spare.

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace qm {

inline constexpr int kPlaneSide = 513;
inline constexpr std::size_t kPlaneElements = std::size_t(kPlaneSide) * kPlaneSide;

class Plane {
public:
    Plane() : data_(static_cast<float*>(::operator new[](kPlaneElements * sizeof(float),
                                                           std::align_val_t(64))))
    {
        clear();
    }
    ~Plane() { ::operator delete[](data_, std::align_val_t(64)); }
    Plane(const Plane& other) : Plane() { copyFrom(other); }
    Plane& operator=(const Plane& other)
    {
        if (this != &other)
            copyFrom(other);
        return *this;
    }

    float& at(int x, int y) { return data_[std::size_t(x) * kPlaneSide + y]; }
    float at(int x, int y) const { return data_[std::size_t(x) * kPlaneSide + y]; }
    float* data() { return data_; }
    const float* data() const { return data_; }

    void copyFrom(const Plane& other)
    {
        std::memcpy(data_, other.data_, kPlaneElements * sizeof(float));
    }
    void clear() { std::memset(data_, 0, kPlaneElements * sizeof(float)); }

private:
    float* data_;
};

} // namespace qm
