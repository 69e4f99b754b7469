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
    // FStart is set only by Exec, with a task handed over, and by Terminate.
    while (FStart.WaitFor(infinite_timeout) == TWaitResult::wrSignaled && !FTerminated.load()) {
        const std::shared_ptr<ITask> task = std::move(FTask);
        try {
            task->execute();
        } catch (...) {
            // The task has completed all the same; a failing closure must not end the worker.
        }
        Fbusy.store(false);
        FPool.ReleaseExecutor();
    }
    FTask.reset();
}

TTaskPool::TTaskPool(std::int32_t anb_thread)
    : Fnb_thread(anb_thread > 0 ? anb_thread : default_thread_count()) {}

TTaskPool::~TTaskPool() {
    ClosePool();
}

bool TTaskPool::DoInit() {
    if (Finitialized.load() != 0)
        return true;
    std::scoped_lock guard(Finit_lock);
    if (Finitialized.load() != 0)
        return true;
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
    std::scoped_lock guard(Finit_lock);
    std::int32_t running = 1;
    if (!Finitialized.compare_exchange_strong(running, 0))
        return;
    const auto drop_queued = [this] {
        std::shared_ptr<ITask> dropped;
        while (FTasks.Dequeue(dropped, 0) == TWaitResult::wrSignaled)
            dropped.reset();
    };
    drop_queued();
    FTasks.Enqueue(nullptr);
    // The dispatcher may still be handing over the task it holds; a worker will take it.
    FDispatcher.join();
    drop_queued();
    FExecutors.clear(); // each worker completes its current task, then stops
    FTaskRunning.reset();
}

void TTaskPool::Setnb_thread(std::int32_t count) {
    std::scoped_lock guard(Finit_lock);
    if (Finitialized.load() == 0)
        Fnb_thread.store(count > 0 ? count : default_thread_count());
}

std::int32_t TTaskPool::Getnb_thread() const {
    return Fnb_thread.load();
}

bool TTaskPool::AddTask(const std::shared_ptr<ITask>& aTask) {
    if (!DoInit())
        return false;
    FTasks.Enqueue(aTask);
    return true;
}

bool TTaskPool::AddTasks(const TTaskArray& aTasks) {
    if (!DoInit())
        return false;
    for (const auto& task : aTasks)
        FTasks.Enqueue(task);
    return true;
}

std::shared_ptr<ITask> TTaskPool::ScheduleTask(TTaskProcRec proc, bool async) {
    auto task = std::make_shared<TBaseTask>(0, std::move(proc), 1);
    if (AddTask(task) && !async)
        task->waitfor(infinite_timeout);
    return task;
}

std::shared_ptr<ITask> TTaskPool::ScheduleSlicedTask(const TTaskProcRec& proc,
                                                     std::int32_t nb_slice, bool async) {
    auto task = std::make_shared<TSlicedTask>(slices_for(nb_slice), proc);
    if (AddTasks(task->tasks()) && !async)
        task->waitfor(infinite_timeout);
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
    if (!DoInit())
        return false;
    for (const auto& slice : task->tasks())
        SendTaskToExecutor(slice);
    task->waitfor(infinite_timeout);
    return result;
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
