#pragma once

#include "Common/cond_var.h"
#include "Common/critical_section.h"
#include "Common/event.h"
#include "Common/wait.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace zel {

class ITask;

// The work of a task: called with the running task, its slice id and the slice count.
using TTaskProcRec =
    std::function<void(ITask& task, std::int32_t slice_id, std::int32_t slice_count)>;
// Called after a task's closure has returned.
using TTaskCompletionEvent = std::function<void(ITask& Sender)>;
using TTaskArray = std::vector<std::shared_ptr<ITask>>;

// One unit of work for the task pool. A closure that throws still completes its task; the
// exception then leaves execute.
class ITask {
public:
    virtual ~ITask() = default;

    // Copies the stored private block into priv; false unless a block of exactly that size is
    // stored.
    virtual bool get_private(std::span<std::byte> priv) const = 0;
    // Stores a copy of priv; an empty block discards the stored one.
    virtual void set_private(std::span<const std::byte> priv) = 0;
    virtual std::string getname() const = 0;
    virtual void setname(const std::string& name) = 0;
    virtual bool completed() = 0;
    virtual std::int32_t getid() const = 0;
    virtual std::int32_t getcount() const = 0;
    virtual TWaitResult waitfor(std::uint32_t TimeOutMs) = 0;
    virtual void SetProc(TTaskProcRec proc) = 0;
    virtual void execute() = 0;
    virtual TTaskArray tasks() = 0;
    virtual bool reset() = 0;
    virtual TTaskCompletionEvent GetOnComplete() const = 0;
    virtual void SetOnComplete(TTaskCompletionEvent handler) = 0;
};

// A task running one closure with a fixed slice id and count. Create it with
// std::make_shared: tasks() hands out a reference to the task itself.
class TBaseTask : public ITask, public std::enable_shared_from_this<TBaseTask> {
public:
    TBaseTask(std::int32_t id, TTaskProcRec proc, std::int32_t count);

    bool get_private(std::span<std::byte> priv) const override;
    void set_private(std::span<const std::byte> priv) override;
    std::string getname() const override;
    void setname(const std::string& name) override;
    bool completed() override;
    std::int32_t getid() const override { return Fid; }
    std::int32_t getcount() const override { return FCount; }
    TWaitResult waitfor(std::uint32_t TimeOutMs) override;
    void SetProc(TTaskProcRec proc) override;
    void execute() override;
    TTaskArray tasks() override;
    bool reset() override;
    TTaskCompletionEvent GetOnComplete() const override;
    void SetOnComplete(TTaskCompletionEvent handler) override;

private:
    using shared_proc = std::shared_ptr<const TTaskProcRec>;

    // A worker may run the task while another thread renames it or gives it a new closure.
    mutable std::mutex Fguard;
    std::string Fname;
    const std::int32_t Fid;
    const std::int32_t FCount;
    TEvent FCompleted{TEvent::TResetMode::manual};
    shared_proc FProc;
    std::vector<std::byte> Fpriv_data;
    TTaskCompletionEvent FOnComplete;
};

// One closure split into slices that run in parallel, each told its slice id and the slice
// count; complete when every slice has completed.
class TSlicedTask final : public TBaseTask {
public:
    TSlicedTask(std::int32_t nb_split, const TTaskProcRec& proc);

    std::int32_t getcount() const override;
    // Signalled once every slice has completed, timed out otherwise.
    TWaitResult waitfor(std::uint32_t TimeOutMs) override;
    void SetProc(TTaskProcRec proc) override;
    // Runs every slice in order on the calling thread.
    void execute() override;
    TTaskArray tasks() override { return FSubTasks; }
    // Restarts the completion count; resets the slices and returns true only when the previous
    // run had finished.
    bool reset() override;

private:
    // Shared with the slices' completion handlers, so a slice that outlives its sliced task
    // never reaches freed memory.
    struct TCompletion {
        TCriticalSection FCompletionCountProtect;
        std::shared_ptr<ICondVar> FCondvar;
        std::int32_t FCompletionCount = 0;
        std::int32_t Fslices = 0;

        void slice_completed();
    };

    TTaskArray FSubTasks;
    std::shared_ptr<TCompletion> Fcompletion;
};

} // namespace zel
