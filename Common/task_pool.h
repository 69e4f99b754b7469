#pragma once

#include "Common/event.h"
#include "Common/task.h"
#include "Common/threaded_queue.h"
#include "Common/wait.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace zel {

// Processors as single-bit masks in increasing bit order; the entries beyond `count` hold all
// bits set.
struct TProcessorList {
    std::array<std::uint32_t, 32> masks{};
    std::uint8_t count = 0;
};

// The list for an affinity mask; without a mask (it could not be read), one processor.
TProcessorList processor_list(std::optional<std::uint32_t> mask);

// The default number of workers for a processor count: the count, capped at `cap` when the cap
// is above 0 and not above the count.
std::int32_t thread_count_for(std::uint8_t cpu_count, std::uint8_t cap);

inline constexpr std::uint8_t max_parallel_threads = 16;

// Read once at start-up from the process's affinity: the processors the process may use and
// those of the system.
extern const std::array<std::uint32_t, 32> process_cpus;
extern const std::uint8_t process_cpu_count;
extern const std::array<std::uint32_t, 32> system_cpus;
extern const std::uint8_t system_cpu_count;

std::int32_t default_thread_count();

class ITaskPool {
public:
    virtual ~ITaskPool() = default;

    // Starts the pool's threads on the first call; true when the pool is running, false while
    // it closes.
    virtual bool DoInit() = 0;
    // Stops the threads. Tasks not yet handed to a worker are dropped without running; tasks
    // that a worker holds complete first. Tasks added while it closes are refused.
    virtual void ClosePool() = 0;
    // Ignored once the pool runs.
    virtual void Setnb_thread(std::int32_t count) = 0;
    virtual std::int32_t Getnb_thread() const = 0;
    // Starts the pool and queues the tasks; false when they are refused (the pool closes).
    virtual bool AddTask(const std::shared_ptr<ITask>& aTask) = 0;
    virtual bool AddTasks(const TTaskArray& aTasks) = 0;
    // A new task (id 0, count 1) for proc; when async is false, returns after it has run or
    // been dropped or refused by a close (the task's completed tells which).
    virtual std::shared_ptr<ITask> ScheduleTask(TTaskProcRec proc, bool async) = 0;
    // Runs proc as a sliced task of nb_slice slices (0: one per worker), reusing task when it
    // has that many slices; false when a reused task was still running. Without async the
    // slices go straight to the workers and the call returns once all have completed (false,
    // with nothing run, while the pool closes).
    virtual bool exec_sliced(std::shared_ptr<ITask>& task, TTaskProcRec proc, std::int32_t nb_slice,
                             bool async) = 0;
};

class TTaskPool;

// One worker thread, pinned to processor (index mod 32). It runs one task at a time; the pool
// hands a task over only while the worker is idle.
class TThreadedExecutor {
public:
    TThreadedExecutor(TTaskPool& aPool, std::int32_t aIndex);
    TThreadedExecutor(const TThreadedExecutor&) = delete;
    TThreadedExecutor& operator=(const TThreadedExecutor&) = delete;
    ~TThreadedExecutor();

    // Takes the task when idle; false when busy.
    bool Exec(const std::shared_ptr<ITask>& Task);
    // Stops the thread once its current task has completed, and waits for it.
    void Terminate();

private:
    void Run();
    bool refuse_tasks();

    TTaskPool& FPool;
    std::atomic<bool> Fbusy{false}; // a task is handed over or running
    std::shared_ptr<ITask> FTask;   // written by Exec before FStart is set
    TEvent FStart{TEvent::TResetMode::automatic};
    const std::int32_t FIndex;
    std::atomic<bool> FTerminated{false};
    std::thread FThread;
};

// A fixed set of pinned worker threads fed by a dispatcher thread from a blocking queue. Threads
// start with the first task, not with the pool. Thread stacks have the platform's default size.
class TTaskPool final : public ITaskPool {
public:
    explicit TTaskPool(std::int32_t anb_thread = 0);
    TTaskPool(const TTaskPool&) = delete;
    TTaskPool& operator=(const TTaskPool&) = delete;
    ~TTaskPool() override;

    bool DoInit() override;
    void ClosePool() override;
    void Setnb_thread(std::int32_t count) override;
    std::int32_t Getnb_thread() const override;
    bool AddTask(const std::shared_ptr<ITask>& aTask) override;
    bool AddTasks(const TTaskArray& aTasks) override;
    std::shared_ptr<ITask> ScheduleTask(TTaskProcRec proc, bool async) override;
    std::shared_ptr<ITask> ScheduleSlicedTask(const TTaskProcRec& proc, std::int32_t nb_slice,
                                              bool async);
    bool exec_sliced(std::shared_ptr<ITask>& task, TTaskProcRec proc, std::int32_t nb_slice,
                     bool async) override;

    // Hands the task to an idle worker, waiting for one; only while the pool runs.
    bool SendTaskToExecutor(const std::shared_ptr<ITask>& Task);
    // A worker has become idle.
    void ReleaseExecutor();

    bool initialized() const noexcept { return Finitialized.load() != 0; }

private:
    void Dispatch();
    std::int32_t slices_for(std::int32_t nb_slice) const;
    // Starts the pool unless it is closing; with Fstate_lock held.
    bool start_locked();
    // Queues the tasks; unless async, returns once each has run or a close has dropped it.
    void add_and_wait(const TTaskArray& tasks, bool async);
    // Brackets a synchronous sliced run's hand-over to the workers, which ClosePool waits for
    // before it frees them. The beginning starts the pool; false while it closes.
    bool begin_direct_send();
    void end_direct_send();

    // Guards starting, closing, accepting tasks and the direct senders, so that no caller sees
    // a half-started pool and nothing is queued or handed over while a close frees the threads.
    // Never held while waiting for a thread; taken before the queue's lock.
    std::mutex Fstate_lock;
    bool Fclosing = false;
    std::int32_t Fdirect_senders = 0;
    // The close has ended, or the last direct sender has finished.
    std::condition_variable Fstate_changed;
    std::vector<std::unique_ptr<TThreadedExecutor>> FExecutors;
    // Unsigned, so that the round-robin index stays valid when the counter wraps.
    std::atomic<std::uint32_t> FCurrentExecutor{0};
    // Lives as long as the pool: a task added while the pool closes is dropped, not lost in
    // freed memory.
    TThreadedQueueLinkedList<ITask> FTasks;
    std::unique_ptr<TSemaphore> FTaskRunning; // one unit per idle worker
    std::thread FDispatcher;
    std::atomic<std::int32_t> Finitialized{0};
    std::atomic<std::int32_t> Fnb_thread;
};

// The process-wide pool, created idle with the default thread count; closed at program end.
extern const std::shared_ptr<ITaskPool> task_pool;

} // namespace zel
