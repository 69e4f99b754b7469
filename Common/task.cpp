#include "Common/task.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace zel {

TBaseTask::TBaseTask(std::int32_t id, TTaskProcRec proc, std::int32_t count)
    : Fid(id)
    , FCount(count)
    , FProc(std::make_shared<const TTaskProcRec>(std::move(proc))) {}

bool TBaseTask::get_private(std::span<std::byte> priv) const {
    std::scoped_lock guard(Fguard);
    if (Fpriv_data.empty() || Fpriv_data.size() != priv.size())
        return false;
    std::copy(Fpriv_data.begin(), Fpriv_data.end(), priv.begin());
    return true;
}

void TBaseTask::set_private(std::span<const std::byte> priv) {
    std::scoped_lock guard(Fguard);
    Fpriv_data.assign(priv.begin(), priv.end());
}

std::string TBaseTask::getname() const {
    std::scoped_lock guard(Fguard);
    return Fname;
}

void TBaseTask::setname(const std::string& name) {
    std::scoped_lock guard(Fguard);
    Fname = name;
}

bool TBaseTask::completed() {
    return waitfor(0) == TWaitResult::wrSignaled;
}

TWaitResult TBaseTask::waitfor(std::uint32_t TimeOutMs) {
    return FCompleted.WaitFor(TimeOutMs);
}

void TBaseTask::SetProc(TTaskProcRec proc) {
    auto shared = std::make_shared<const TTaskProcRec>(std::move(proc));
    std::scoped_lock guard(Fguard);
    FProc = std::move(shared);
}

void TBaseTask::execute() {
    shared_proc proc;
    {
        std::scoped_lock guard(Fguard);
        proc = FProc;
    }
    // Complete the task even when the closure throws, so that no waiter is left hanging.
    std::exception_ptr failure;
    try {
        if (*proc)
            (*proc)(*this, Fid, FCount);
    } catch (...) {
        failure = std::current_exception();
    }
    FCompleted.SetEvent();
    if (const TTaskCompletionEvent done = GetOnComplete())
        done(*this);
    if (failure)
        std::rethrow_exception(failure);
}

TTaskArray TBaseTask::tasks() {
    return {shared_from_this()};
}

bool TBaseTask::reset() {
    FCompleted.ResetEvent();
    return true;
}

TTaskCompletionEvent TBaseTask::GetOnComplete() const {
    std::scoped_lock guard(Fguard);
    return FOnComplete;
}

void TBaseTask::SetOnComplete(TTaskCompletionEvent handler) {
    std::scoped_lock guard(Fguard);
    FOnComplete = std::move(handler);
}

TSlicedTask::TSlicedTask(std::int32_t nb_split, const TTaskProcRec& proc)
    : TBaseTask(0, proc, nb_split)
    , Fcompletion(std::make_shared<TCompletion>()) {
    nb_split = std::max(nb_split, 0);
    create_cond_var(Fcompletion->FCondvar);
    Fcompletion->Fslices = nb_split;
    FSubTasks.reserve(static_cast<std::size_t>(nb_split));
    for (std::int32_t id = 0; id < nb_split; ++id) {
        auto slice = std::make_shared<TBaseTask>(id, proc, nb_split);
        slice->SetOnComplete([completion = Fcompletion](ITask&) { completion->slice_completed(); });
        FSubTasks.push_back(std::move(slice));
    }
}

void TSlicedTask::TCompletion::slice_completed() {
    std::scoped_lock guard(FCompletionCountProtect);
    if (++FCompletionCount == Fslices)
        // Every waiter, not only one: several threads may wait for the same sliced task.
        FCondvar->wake_all();
}

std::int32_t TSlicedTask::getcount() const {
    return static_cast<std::int32_t>(FSubTasks.size());
}

TWaitResult TSlicedTask::waitfor(std::uint32_t TimeOutMs) {
    TCompletion& state = *Fcompletion;
    std::scoped_lock guard(state.FCompletionCountProtect);
    while (state.FCompletionCount < state.Fslices)
        if (!state.FCondvar->sleep(state.FCompletionCountProtect, TimeOutMs) &&
            state.FCompletionCount < state.Fslices)
            return TWaitResult::wrTimeout;
    return TWaitResult::wrSignaled;
}

void TSlicedTask::SetProc(TTaskProcRec proc) {
    for (const auto& slice : FSubTasks)
        slice->SetProc(proc);
    TBaseTask::SetProc(std::move(proc));
}

void TSlicedTask::execute() {
    // Every slice runs even when one throws; the first failure leaves afterwards.
    std::exception_ptr failure;
    for (const auto& slice : FSubTasks) {
        try {
            slice->execute();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

bool TSlicedTask::reset() {
    TCompletion& state = *Fcompletion;
    std::scoped_lock guard(state.FCompletionCountProtect);
    const bool done = state.FCompletionCount >= state.Fslices;
    state.FCompletionCount = 0;
    if (done)
        for (const auto& slice : FSubTasks)
            slice->reset();
    return done;
}

} // namespace zel
