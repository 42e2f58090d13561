#include "SampleEditorBase.h"

#include <algorithm>

SampleEditorBase::SampleEditorBase()
{
    initializePin(sample_, &SampleEditorBase::onSetData);
    initializePin(start_);
    initializePin(end_);
    initializePin(trigger_, &SampleEditorBase::onSetTrig);
}

void SampleEditorBase::onSetData()
{
    if (qw::edit::fromOutside(sample_, cache_.sending()))
        cache_.drop();
}

void SampleEditorBase::onSetTrig()
{
    if (!trigger_)
        return;
    const int64_t count = sample_.count();
    if (count <= 0)
        return;
    const int64_t start = start_;
    if (start < 0)
        return;
    // The end is brought inside the sample before a negative one counts from the end.
    int64_t end = std::min<int64_t>(end_, count - 1);
    if (end < 0)
        end += count;
    if (end < start)
        return;
    qw::edit::guarded([&] { doEdit(static_cast<int>(start), static_cast<int>(end)); });
}
