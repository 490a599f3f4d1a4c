#include "engine/read_buffer.h"

#include <algorithm>
#include <utility>

#include "engine/followed_file.h"
#include "engine/pass_failure.h"

void ReadBuffer::BeginPass() {
    std::lock_guard guard(lock_);
    inPass_ = true;
}

void ReadBuffer::EndPass() {
    std::lock_guard guard(lock_);
    inPass_ = false;
    if (releasePending_) {
        data_.reset();
        spare_ = QString();
    }
    releasePending_ = false;
}

void ReadBuffer::Release() {
    std::lock_guard guard(lock_);
    if (inPass_) {
        releasePending_ = true;
    } else {
        data_.reset();
        spare_ = QString();
    }
}

QString ReadBuffer::TakeSpareText() {
    std::lock_guard guard(lock_);
    return std::exchange(spare_, QString());
}

qint64 ReadBuffer::SpareTextBytes() const {
    std::lock_guard guard(lock_);
    return qint64(spare_.capacity()) * 2;
}

void ReadBuffer::KeepSpareText(QString text) {
    if (!text.isDetached())
        return; // still shared (with the view): not ours to write into
    text.resize(0);
    std::lock_guard guard(lock_);
    if (text.capacity() > spare_.capacity())
        spare_ = std::move(text);
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

WindowRead ReadWindow(const QString& fileName, qint64 offset, qint64 windowSize, qint64 hidePoint, bool wide,
                      ReadBuffer& buffer) {
    FollowedFile file;
    if (!file.Open(fileName))
        throw PassFailure(file.ErrorString());
    WindowRead read;
    read.size = file.Size();
    read.start = WindowStart(read.size, offset, windowSize, hidePoint, wide);
    const qint64 need = std::min(read.size, windowSize);
    char* data = buffer.Ensure(need);
    if (!data || read.start >= read.size)
        return read;
    const qint64 got = file.ReadAt(read.start, data, need);
    if (got < 0)
        throw PassFailure(file.ErrorString());
    read.n = got;
    read.data = data;
    return read;
}
