#pragma once
// A work plane: 513 x 513 single-precision floats, element (x, y) at
// x * kPlaneStride + y, x being the horizontal picture coordinate. Rows are
// padded to 528 floats so that every row starts on a cache line: the
// transforms then move whole lines, and 528 = 33 lines spreads the rows over
// all cache sets. Storage is page aligned and allocated once. A new plane holds +0.0 everywhere; its pages come from the
// system already zero and only when first touched, so planes a run never uses
// cost neither time nor memory. The 513th row and column are spare.

#include <sys/mman.h>

#include <cstddef>
#include <cstring>
#include <new>

namespace qm {

inline constexpr int kPlaneSide = 513;
inline constexpr int kPlaneStride = 528;
// Every float of the storage, padding included (the padding stays +0.0).
inline constexpr std::size_t kPlaneElements = std::size_t(kPlaneSide) * kPlaneStride;

// Where index i of an N-point transform lies in a centred frame of a plane:
// the zero frequency at 256, the upper half of the indices below it.
inline int FramePos(int i, int n)
{
    return i < n / 2 ? i + 256 : i - n + 256;
}

class Plane {
public:
    Plane()
    {
        void* p = ::mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        data_ = static_cast<float*>(p);
    }
    ~Plane() { ::munmap(data_, kBytes); }
    Plane(const Plane& other) : Plane() { copyFrom(other); }
    Plane& operator=(const Plane& other)
    {
        if (this != &other)
            copyFrom(other);
        return *this;
    }

    float& at(int x, int y) { return data_[std::size_t(x) * kPlaneStride + y]; }
    float at(int x, int y) const { return data_[std::size_t(x) * kPlaneStride + y]; }
    float* data() { return data_; }
    const float* data() const { return data_; }

    void copyFrom(const Plane& other)
    {
        std::memcpy(data_, other.data_, kBytes);
    }
    void clear() { std::memset(data_, 0, kBytes); }
    // Exchanges the contents of two planes without copying them.
    void swap(Plane& other) noexcept
    {
        float* t = data_;
        data_ = other.data_;
        other.data_ = t;
    }

private:
    static constexpr std::size_t kBytes = kPlaneElements * sizeof(float);
    float* data_ = nullptr;
};

} // namespace qm
