#include "engine/read_buffer.h"

#include <algorithm>
#include <utility>

void ReadBuffer::BeginPass() {
    std::lock_guard guard(lock_);
    inPass_ = true;
}

void ReadBuffer::EndPass() {
    std::lock_guard guard(lock_);
    inPass_ = false;
    if (releasePending_)
        data_.reset();
    releasePending_ = false;
}

void ReadBuffer::Release() {
    std::lock_guard guard(lock_);
    if (inPass_) {
        releasePending_ = true;
    } else {
        data_.reset();
    }
}

char* ReadBuffer::Ensure(qint64 need) {
    std::lock_guard guard(lock_);
    if (need > capacity_) {
        capacity_ = need;
        data_.reset();
    }
    if (!data_ && capacity_ > 0)
        data_.reset(new char[static_cast<size_t>(capacity_)]);
    return data_.get();
}

qint64 ReadBuffer::Capacity() const {
    std::lock_guard guard(lock_);
    return capacity_;
}

bool ReadBuffer::Held() const {
    std::lock_guard guard(lock_);
    return data_ != nullptr;
}

qint64 WindowStart(qint64 size, qint64 offset, qint64 windowSize, qint64 hidePoint, bool wide) {
    qint64 start = std::max<qint64>(size - offset - windowSize, 0);
    start = std::max(start, hidePoint);
    if ((start & 1) && (wide || start - 1 >= hidePoint))
        start -= 1;
    return start;
}

qint64 WindowEnd(qint64 size, qint64 offset, qint64 windowSize, qint64 hidePoint) {
    const qint64 start = std::max(std::max<qint64>(size - offset - windowSize, 0), hidePoint);
    return start < size ? start + std::min(size - start, std::min(size, windowSize)) : start;
}
