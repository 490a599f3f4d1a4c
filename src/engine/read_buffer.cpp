#include "engine/read_buffer.h"

#include <algorithm>
#include <utility>

#include <QFile>

#include "engine/pass_failure.h"
#include "platform/file_names.h"

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

WindowRead ReadWindow(const QString& fileName, qint64 offset, qint64 windowSize, qint64 hidePoint, bool wide,
                      ReadBuffer& buffer) {
    QFile file;
    QString error;
    if (!OpenFile(file, fileName, QIODevice::ReadOnly | QIODevice::Unbuffered, &error))
        throw PassFailure(error);
    WindowRead read;
    read.size = file.size();
    read.start = std::max<qint64>(read.size - offset - windowSize, 0);
    read.start = std::max(read.start, hidePoint);
    if ((read.start & 1) && (wide || read.start - 1 >= hidePoint))
        read.start -= 1;
    const qint64 need = std::min(read.size, windowSize);
    char* data = buffer.Ensure(need);
    if (!data || read.start >= read.size)
        return read;
    if (!file.seek(read.start))
        throw PassFailure(file.errorString());
    qint64 total = 0;
    while (total < need) {
        const qint64 got = file.read(data + total, need - total);
        if (got < 0)
            throw PassFailure(file.errorString());
        if (got == 0)
            break;
        total += got;
    }
    read.n = total;
    read.data = data;
    return read;
}
