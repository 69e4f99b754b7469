#include "Common/task_pool.h"

#include "Common/assertion.h"
#include "platform/alternate_signal_stack.h"
#include "platform/cpu_affinity.h"

#include <cstdio>
#include <system_error>
#include <utility>

namespace zel {

TProcessorList processor_list(std::optional<std::uint32_t> mask) {
    TProcessorList list;
    list.masks.fill(~0U);
    if (!mask) {
        list.count = 1;
        return list;
    }
    for (unsigned bit = 0; bit < 32; ++bit)
        if ((*mask & (1U << bit)) != 0)
            list.masks[list.count++] = 1U << bit;
    return list;
}

std::int32_t thread_count_for(std::uint8_t cpu_count, std::uint8_t cap) {
    return cap > 0 && cap <= cpu_count ? cap : cpu_count;
}

namespace {

std::optional<platform::TProcessorMasks> read_masks() {
    platform::TProcessorMasks masks;
    if (!platform::read_processor_masks(masks))
        return std::nullopt;
    return masks;
}

const std::optional<platform::TProcessorMasks> startup_masks = read_masks();
const TProcessorList process_list =
    processor_list(startup_masks ? std::optional(startup_masks->process) : std::nullopt);
const TProcessorList system_list =
    processor_list(startup_masks ? std::optional(startup_masks->system) : std::nullopt);

} // namespace

const std::array<std::uint32_t, 32> process_cpus = process_list.masks;
const std::uint8_t process_cpu_count = process_list.count;
const std::array<std::uint32_t, 32> system_cpus = system_list.masks;
const std::uint8_t system_cpu_count = system_list.count;

std::int32_t default_thread_count() {
    return thread_count_for(process_cpu_count, max_parallel_threads);
}

TThreadedExecutor::TThreadedExecutor(TTaskPool& aPool, std::int32_t aIndex)
    : FPool(aPool)
    , FIndex(aIndex)
    , FThread([this] { Run(); }) {}

TThreadedExecutor::~TThreadedExecutor() {
    Terminate();
}

bool TThreadedExecutor::Exec(const std::shared_ptr<ITask>& Task) {
    bool idle = false;
    if (!Fbusy.compare_exchange_strong(idle, true))
        return false;
    FTask = Task;
    FStart.SetEvent();
    return true;
}

void TThreadedExecutor::Terminate() {
    FTerminated.store(true);
    FStart.SetEvent();
    if (FThread.joinable())
        FThread.join();
}

void TThreadedExecutor::Run() {
    platform::ensure_alternate_signal_stack();
    // A processor the process may not use leaves the worker unpinned.
    platform::pin_current_thread(static_cast<unsigned>(FIndex) % 32U);
    // FStart is set only by Exec, with a task handed over, and by Terminate. A task handed over
    // runs even when Terminate follows at once: whoever handed it over may be waiting for it.
    while (FStart.WaitFor(infinite_timeout) == TWaitResult::wrSignaled) {
        if (const std::shared_ptr<ITask> task = std::move(FTask)) {
            try {
                task->execute();
            } catch (...) {
                // The task has completed all the same; a failing closure must not end the worker.
            }
            Fbusy.store(false);
            FPool.ReleaseExecutor();
        }
        if (FTerminated.load() && refuse_tasks())
            break;
    }
}

// Once idle, the worker takes no task any more. A task handed over since it became idle (Exec
// claimed it first) has signalled FStart, or is about to: the loop runs it before it stops.
bool TThreadedExecutor::refuse_tasks() {
    bool idle = false;
    return Fbusy.compare_exchange_strong(idle, true);
}

TTaskPool::TTaskPool(std::int32_t anb_thread)
    : Fnb_thread(anb_thread > 0 ? anb_thread : default_thread_count()) {}

TTaskPool::~TTaskPool() {
    ClosePool();
}

bool TTaskPool::DoInit() {
    if (Finitialized.load() != 0)
        return true;
    std::scoped_lock guard(Fstate_lock);
    return start_locked();
}

bool TTaskPool::start_locked() {
    if (Finitialized.load() != 0)
        return true;
    if (Fclosing)
        return false;
    const std::int32_t count = Fnb_thread.load();
    try {
        FTaskRunning = std::make_unique<TSemaphore>(count);
        FExecutors.reserve(static_cast<std::size_t>(count));
        for (std::int32_t index = 0; index < count; ++index)
            FExecutors.push_back(std::make_unique<TThreadedExecutor>(*this, index));
        FCurrentExecutor.store(0);
        // The workers exist before the dispatcher can hand them anything.
        FDispatcher = std::thread([this] { Dispatch(); });
    } catch (const std::system_error&) {
        FExecutors.clear(); // each worker stops and is waited for
        FTaskRunning.reset();
        return false;
    }
    Finitialized.store(1);
    return true;
}

void TTaskPool::Dispatch() {
    platform::ensure_alternate_signal_stack();
    for (;;) {
        std::shared_ptr<ITask> task;
        if (FTasks.Dequeue(task, infinite_timeout) != TWaitResult::wrSignaled) {
            std::fputs("Dequeue error signaled\n", stderr);
            break;
        }
        if (!task)
            break; // the stop signal
        if (!SendTaskToExecutor(task))
            raise_assertion("Couldn't send to task executor", __FILE__, __LINE__);
    }
}

void TTaskPool::ClosePool() {
    {
        std::unique_lock guard(Fstate_lock);
        // A close already under way on another thread: return once it has finished.
        Fstate_changed.wait(guard, [this] { return !Fclosing; });
        std::int32_t running = 1;
        if (!Finitialized.compare_exchange_strong(running, 0))
            return;
        // From here on nothing is queued and no worker is taken directly until the close ends.
        Fclosing = true;
    }
    std::shared_ptr<ITask> dropped;
    while (FTasks.Dequeue(dropped, 0) == TWaitResult::wrSignaled)
        dropped.reset();
    FTasks.Enqueue(nullptr);
    // The dispatcher may still be handing over the task it holds; a worker will run it. Behind
    // the stop signal the queue is empty: nothing was accepted since the drop.
    FDispatcher.join();
    {
        // Direct senders run their slices on the workers: wait for them to finish handing over.
        std::unique_lock guard(Fstate_lock);
        Fstate_changed.wait(guard, [this] { return Fdirect_senders == 0; });
    }
    FExecutors.clear(); // each worker runs the task it holds, then stops
    FTaskRunning.reset();
    std::scoped_lock guard(Fstate_lock);
    Fclosing = false;
    Fstate_changed.notify_all();
}

void TTaskPool::Setnb_thread(std::int32_t count) {
    std::scoped_lock guard(Fstate_lock);
    if (Finitialized.load() == 0 && !Fclosing)
        Fnb_thread.store(count > 0 ? count : default_thread_count());
}

std::int32_t TTaskPool::Getnb_thread() const {
    return Fnb_thread.load();
}

bool TTaskPool::AddTask(const std::shared_ptr<ITask>& aTask) {
    return AddTasks({aTask});
}

bool TTaskPool::AddTasks(const TTaskArray& aTasks) {
    // Accepted and queued in one step against ClosePool, which drops what is queued: a task
    // accepted is never queued behind the close, where no dispatcher would ever take it.
    std::scoped_lock guard(Fstate_lock);
    if (!start_locked())
        return false;
    for (const auto& task : aTasks)
        FTasks.Enqueue(task);
    return true;
}

namespace {

// Handles to `tasks` sharing one owner that sets `released` once the last handle is gone: once
// the pool holds none of the tasks any more, each has run or been dropped by a close. The
// handles do not keep the tasks alive; the caller does.
TTaskArray watched_handles(const TTaskArray& tasks, const std::shared_ptr<TEvent>& released) {
    const std::shared_ptr<void> owner(nullptr, [released](void*) { released->SetEvent(); });
    TTaskArray handles;
    handles.reserve(tasks.size());
    for (const auto& task : tasks)
        handles.emplace_back(owner, task.get());
    return handles;
}

} // namespace

void TTaskPool::add_and_wait(const TTaskArray& tasks, bool async) {
    if (async) {
        AddTasks(tasks);
        return;
    }
    // Waiting for completion would wait for ever on a task that a close drops.
    const auto released = std::make_shared<TEvent>(TEvent::TResetMode::manual);
    AddTasks(watched_handles(tasks, released));
    released->WaitFor(infinite_timeout);
}

std::shared_ptr<ITask> TTaskPool::ScheduleTask(TTaskProcRec proc, bool async) {
    auto task = std::make_shared<TBaseTask>(0, std::move(proc), 1);
    add_and_wait({task}, async);
    return task;
}

std::shared_ptr<ITask> TTaskPool::ScheduleSlicedTask(const TTaskProcRec& proc,
                                                     std::int32_t nb_slice, bool async) {
    auto task = std::make_shared<TSlicedTask>(slices_for(nb_slice), proc);
    add_and_wait(task->tasks(), async);
    return task;
}

bool TTaskPool::exec_sliced(std::shared_ptr<ITask>& task, TTaskProcRec proc, std::int32_t nb_slice,
                            bool async) {
    nb_slice = slices_for(nb_slice);
    bool result = true;
    if (task && task->getcount() == nb_slice) {
        task->SetProc(std::move(proc));
        result = task->reset();
    } else {
        task = std::make_shared<TSlicedTask>(nb_slice, std::move(proc));
    }
    if (async) {
        AddTasks(task->tasks());
        return result;
    }
    if (!begin_direct_send())
        return false;
    for (const auto& slice : task->tasks())
        SendTaskToExecutor(slice);
    end_direct_send();
    // Every slice is in a worker's hands, and a worker runs what it holds before it stops.
    task->waitfor(infinite_timeout);
    return result;
}

bool TTaskPool::begin_direct_send() {
    std::scoped_lock guard(Fstate_lock);
    if (!start_locked())
        return false;
    ++Fdirect_senders;
    return true;
}

void TTaskPool::end_direct_send() {
    std::scoped_lock guard(Fstate_lock);
    if (--Fdirect_senders == 0)
        Fstate_changed.notify_all();
}

bool TTaskPool::SendTaskToExecutor(const std::shared_ptr<ITask>& Task) {
    if (wait_for(*FTaskRunning, infinite_timeout) != TWaitResult::wrSignaled)
        return false;
    // The unit taken guarantees an idle worker; find it round-robin.
    const auto workers = static_cast<std::uint32_t>(FExecutors.size());
    while (!FExecutors[FCurrentExecutor.fetch_add(1) % workers]->Exec(Task)) {
    }
    return true;
}

void TTaskPool::ReleaseExecutor() {
    FTaskRunning->release();
}

std::int32_t TTaskPool::slices_for(std::int32_t nb_slice) const {
    return nb_slice > 0 ? nb_slice : Fnb_thread.load();
}

const std::shared_ptr<ITaskPool> task_pool = std::make_shared<TTaskPool>(0);

} // namespace zel
