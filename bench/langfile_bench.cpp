// The language file at full size: load and index of a 64 KB message block
// of about 1,500 entries, and 10,000 lookups of strings that are there and
// that are not. Native, Google Benchmark; prints each figure with its goal.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "lang/language_file.h"

namespace {

const double kLoadGoalMicroseconds = 200;
const double kLookupGoalMilliseconds = 2;
const int kLookups = 10000;

struct Memory
{
  const std::string *Data;
  size_t Pos;
};

int ReadMemory(void *context, char *buffer, int count)
{
  Memory *m = static_cast<Memory *>(context);
  size_t n = m->Data->size() - m->Pos;
  if (n > (size_t)count)
    n = (size_t)count;
  memcpy(buffer, m->Data->data() + m->Pos, n);
  m->Pos += n;
  return (int)n;
}

long long TellMemory(void *context) { return (long long)static_cast<Memory *>(context)->Pos; }

bool SeekMemory(void *context, long long position)
{
  Memory *m = static_cast<Memory *>(context);
  if (position < 0 || (size_t)position > m->Data->size())
    return false;
  m->Pos = (size_t)position;
  return true;
}

// The English texts that the file translates, and the file: a header, the
// marker, then one entry a line until the block holds 64 KB.
struct Fixture
{
  std::vector<std::string> Texts;
  std::string File;

  Fixture()
  {
    File = "; Quabix language file for the benchmark\r\n\r\n***messages***\r\n";
    for (int i = 0; File.size() < (size_t)kMessageBlockSize; i++)
    {
      char text[64];
      snprintf(text, sizeof(text), "English text number %d of the tool", i);
      char key[9];
      MakeTextKey(key, 's', NULL, text);
      std::string line = std::string(key) + "=\"Translated text " + std::to_string(i) + ", \\\"quoted\\\"\"\r\n";
      if (File.size() + line.size() > (size_t)kMessageBlockSize)
        break;
      File += line;
      Texts.push_back(text);
    }
  }

  LanguageSource Source(Memory &m) const
  {
    m.Data = &File;
    m.Pos = 0;
    LanguageSource source = {ReadMemory, TellMemory, SeekMemory, &m};
    return source;
  }
};

const Fixture &TheFixture()
{
  static Fixture fixture;
  return fixture;
}

void LoadAndIndex(benchmark::State &state)
{
  const Fixture &f = TheFixture();
  Memory m;
  for (auto _ : state)
  {
    LanguageResources resources;
    if (resources.LoadMessages(f.Source(m)) != LanguageLoaded)
      state.SkipWithError("not loaded");
    benchmark::DoNotOptimize(resources.MessageTable().Count());
  }
  LanguageResources resources;
  resources.LoadMessages(f.Source(m));
  state.counters["entries"] = resources.MessageTable().Count();
  state.counters["bytes"] = (double)resources.TextLength();
}

// 10,000 lookups a round: three of four find their translation, one in four
// asks for a text that has none and gets its default back.
void TenThousandLookups(benchmark::State &state)
{
  const Fixture &f = TheFixture();
  Memory m;
  LanguageResources resources;
  if (resources.LoadMessages(f.Source(m)) != LanguageLoaded)
  {
    state.SkipWithError("not loaded");
    return;
  }
  std::vector<std::string> asked;
  for (int i = 0; i < kLookups; i++)
    asked.push_back(i % 4 == 3 ? "A text with no translation " + std::to_string(i)
                               : f.Texts[(size_t)i * 7919 % f.Texts.size()]);
  char dest[kStringTextSize];
  int found = 0;
  for (auto _ : state)
  {
    found = 0;
    for (const std::string &text : asked)
      found += resources.LookupText(dest, sizeof(dest), text.c_str(), NULL, 's') ? 1 : 0;
    benchmark::DoNotOptimize(dest);
  }
  if (found != kLookups - kLookups / 4)
    state.SkipWithError("lookups found the wrong number of translations");
  state.counters["found"] = found;
}

BENCHMARK(LoadAndIndex)->Unit(benchmark::kMicrosecond);
BENCHMARK(TenThousandLookups)->Unit(benchmark::kMillisecond);

// The console table, then one line per figure with its goal. With
// repetitions the medians count. The goal is judged by processor time: on a
// shared machine the wall-clock time also holds the time spent waiting for
// a processor, which is printed beside it.
class GoalReporter : public benchmark::ConsoleReporter
{
public:
  void ReportRuns(const std::vector<Run> &runs) override
  {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs)
    {
      if (run.error_occurred)
        continue;
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median)
        continue;
      std::string name = run.run_name.function_name;
      Figure *f = name == "LoadAndIndex" ? &m_load : name == "TenThousandLookups" ? &m_lookups : NULL;
      if (f && (median || !f->Median))
      {
        f->Cpu = run.GetAdjustedCPUTime();
        f->Real = run.GetAdjustedRealTime();
        f->Median = median;
      }
    }
  }

  void PrintGoals() const
  {
    Print("langfile  load and index of a 64 KB block", m_load, "us", kLoadGoalMicroseconds);
    Print("langfile  10,000 lookups", m_lookups, "ms", kLookupGoalMilliseconds);
  }

private:
  struct Figure
  {
    double Cpu = -1;
    double Real = -1;
    bool Median = false;
  };

  static void Print(const char *what, const Figure &f, const char *unit, double goal)
  {
    printf("%s: %.3g %s processor time (%.3g %s wall clock%s), goal <= %g %s: %s\n", what, f.Cpu, unit, f.Real,
           unit, f.Median ? ", medians" : "", goal, unit, f.Cpu >= 0 && f.Cpu <= goal ? "met" : "MISSED");
  }

  Figure m_load;
  Figure m_lookups;
};

} // namespace

int main(int argc, char **argv)
{
  benchmark::Initialize(&argc, argv);
  GoalReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintGoals();
  benchmark::Shutdown();
  return 0;
}
