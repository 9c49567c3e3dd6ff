// Sharing the model's n^3 work between threads, and telling the caller how
// far it has got. Every task writes only its own results, so the results do
// not depend on how many threads run the tasks or in which order.
#pragma once

#include <cstdint>
#include <functional>

#include "model/run.h"

namespace kinex {

// The number of threads for `tasks` independent tasks of a cycle of n
// steps. `requested` >= 1 asks for that many (tests compare thread counts
// this way); 0 decides: one thread on small cycles, where starting threads
// costs more than it saves, else as many as the machine runs at once.
// Never more than `tasks`, never fewer than 1.
int thread_count(int requested, int64_t n, int64_t tasks);

// Runs task(k) once for every k = 0..count-1 on `threads` threads, the
// calling thread among them. A thread that cannot be started leaves its
// share to the others. done(finished) is called on the calling thread now
// and then with the number of tasks finished so far. An exception from a
// task is passed on to the caller once every thread has stopped.
void parallel_for(int64_t count, int threads, const std::function<void(int64_t)>& task,
                  const std::function<void(int64_t)>& done);

// parallel_for(count, threads, task, done) for a small cycle's few tasks:
// on one thread (threads <= 1 or count <= 1) a plain loop that calls task
// and done directly, in the same order, with no std::function between; on
// more, parallel_for itself. `done` is always called.
template <class Task, class Done>
void for_each_task(int64_t count, int threads, const Task& task, const Done& done) {
  if (threads <= 1 || count <= 1) {
    for (int64_t k = 0; k < count; ++k) {
      task(k);
      done(k + 1);
    }
    done(count < 0 ? 0 : count);
    return;
  }
  // (By reference: a std::function of the closures themselves would copy them.)
  parallel_for(count, threads, std::cref(task), std::cref(done));
}

// Reports the share of the model's work done to run.progress: compute_tof
// takes the first part of the range 0..1, compute_control the rest, in
// proportion to their estimated cost. Calls run.progress only when the
// share has grown by a percent or more (and once at the end of each phase),
// never when it is empty.
class ModelProgress {
 public:
  enum class Phase { tof, control };
  ModelProgress(const std::function<void(double)>& progress, const Cycle& cycle, Phase phase);
  // `fraction` (0..1) of the phase is done.
  void report(double fraction);

 private:
  const std::function<void(double)>* progress_ = nullptr;
  double from_ = 0.0, to_ = 1.0;
  double last_ = -1.0;
};

}  // namespace kinex

// Marks a function of element-wise loops to be compiled for several vector
// widths, the widest the processor has chosen when the program starts. The
// results are the same bits in every version: each element keeps its own
// order of operations, and nothing is contracted or reassociated. Not
// under the thread sanitizer, whose instrumented version chooser would run
// before the sanitizer is set up.
#if defined(__SANITIZE_THREAD__)
#define KINEX_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KINEX_THREAD_SANITIZER 1
#endif
#endif
#if defined(__x86_64__) && defined(__ELF__) && !defined(KINEX_THREAD_SANITIZER)
#define KINEX_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define KINEX_VECTOR_CLONES
#endif
