// The compile with a warm precompiled-header cache against the same g++
// call made directly: a program built on <bits/stdc++.h> at -O2
// -std=c++17 (the goal: a median ratio of 0.35 or less), and one that
// includes only <iostream>, which must not get slower (1.02 or less).
// The two ways take turns, the order flipping every pair; the machine
// code of the two executables is compared once.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_util.h"
#include "build/exe_path.h"
#include "build/pch.h"
#include "platform/requests.h"

namespace {

using bench::Clock;

const std::string GXX = "/usr/bin/g++";
const std::string OPTIONS = "-O2 -std=c++17";

const char CONTEST[] = R"(#include <bits/stdc++.h>
using namespace std;
#define int long long
struct Seg {
  int n; vector<int> t;
  Seg(int n) : n(n), t(4 * n) {}
  void add(int x, int v, int l, int r, int k) {
    if (l == r) { t[k] += v; return; }
    int m = (l + r) / 2;
    x <= m ? add(x, v, l, m, 2 * k) : add(x, v, m + 1, r, 2 * k + 1);
    t[k] = t[2 * k] + t[2 * k + 1];
  }
  int sum(int a, int b, int l, int r, int k) {
    if (b < l || r < a) return 0;
    if (a <= l && r <= b) return t[k];
    int m = (l + r) / 2;
    return sum(a, b, l, m, 2 * k) + sum(a, b, m + 1, r, 2 * k + 1);
  }
};
signed main() {
  ios::sync_with_stdio(false); cin.tie(nullptr);
  int n, q; cin >> n >> q;
  vector<int> a(n); for (auto& x : a) cin >> x;
  map<int, int> seen; set<int> s(a.begin(), a.end());
  priority_queue<pair<int, int>> pq;
  for (int i = 0; i < n; i++) seen[a[i]]++, pq.push({a[i], i});
  sort(a.begin(), a.end());
  Seg sg(n); for (int i = 0; i < n; i++) sg.add(i, a[i], 0, n - 1, 1);
  while (q--) { int l, r; cin >> l >> r; cout << sg.sum(l, r, 0, n - 1, 1) << '\n'; }
  cout << s.size() << ' ' << seen.size() << ' ' << (pq.empty() ? 0 : pq.top().first) << '\n';
}
)";

const char IOSTREAM_ONLY[] =
    "#include <iostream>\n\nint main() {\n  std::cout << \"Hello, world!\\n\";\n}\n";

std::string Read(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// The executable's code: its .text section.
std::string Text_Of(const std::string& exe) {
  std::string out = exe + ".text";
  bench::Wait_For(bench::Start({"/usr/bin/objcopy", "-O", "binary", "--only-section=.text", exe, out},
                               bench::NULL_DEVICE, bench::NULL_DEVICE, std::string()));
  return Read(out);
}

// The cache warmed by velder's own helper, in a folder of the bench's.
Pch_Plan Warm(const std::string& dir, const std::string& src) {
  setenv("XDG_CACHE_HOME", (dir + "/cache").c_str(), 1);
  unsetenv("VELDER_NO_PCH");
  Pch_Plan plan = Plan_Pch(GXX, OPTIONS, src);
  if (plan.state == Pch_Plan::absent) Start_Pch_Build(plan, PCH_BIN);
  for (int i = 0; i < 1200 && plan.state != Pch_Plan::ready && plan.state != Pch_Plan::off; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    plan = Plan_Pch(GXX, OPTIONS, src);
  }
  return plan;
}

// velder's compile: the plan, then the compile request with the plan's
// environment, as Run makes it (the compiler's line is unchanged).
double Time_Of_Velder(const std::string& src, const std::string& exe, int& status) {
  Clock::time_point t0 = Clock::now();
  Pch_Plan plan = Plan_Pch(GXX, OPTIONS, src);
  platform::Compile_Request r{GXX, OPTIONS, exe, src, {}, {}};
  status = Compile_With_Pch(r, plan, platform::Compile, [](const char*) {}).status;
  return bench::Seconds(Clock::now() - t0);
}

double Time_Of_Direct(const std::string& src, const std::string& exe, int& status) {
  Clock::time_point t0 = Clock::now();
  status = bench::Wait_For(bench::Start({GXX, "-O2", "-std=c++17", "-g", "-o", exe, src}, bench::INHERIT,
                                        bench::INHERIT, std::string(), bench::INHERIT));
  return bench::Seconds(Clock::now() - t0);
}

void Compare(benchmark::State& state, const char* program) {
  std::string dir = bench::Make_Temp_Dir();
  std::string src = dir + "/a.cpp", ev = dir + "/velder.exe", ed = dir + "/direct.exe";
  std::ofstream(src) << program;
  Pch_Plan plan = Warm(dir, src);
  std::vector<double> ratios;
  double velder = 0, direct = 0;
  bool ok = true;
  for (auto _ : state) {
    int a = 0, b = 0;
    double ta, tb;
    if (ratios.size() % 2 == 0) {
      ta = Time_Of_Velder(src, ev, a);
      tb = Time_Of_Direct(src, ed, b);
    } else {
      tb = Time_Of_Direct(src, ed, b);
      ta = Time_Of_Velder(src, ev, a);
    }
    ok = ok && a == 0 && b == 0;
    velder += ta, direct += tb;
    ratios.push_back(ta / tb);
    state.SetIterationTime(ta);
  }
  bool same_code = Text_Of(ev) == Text_Of(ed);
  bench::Remove_Dir(dir);
  if (!ok) return state.SkipWithError("a compile did not end with status 0");
  std::sort(ratios.begin(), ratios.end());
  state.counters["velder_ms"] = 1000 * velder / static_cast<double>(ratios.size());
  state.counters["direct_ms"] = 1000 * direct / static_cast<double>(ratios.size());
  state.counters["ratio"] = ratios[ratios.size() / 2];
  state.counters["same_code"] = same_code;
  state.counters["cache_ready"] = plan.state == Pch_Plan::ready || plan.state == Pch_Plan::off;
}

void BM_Pch_Contest(benchmark::State& state) { Compare(state, CONTEST); }
BENCHMARK(BM_Pch_Contest)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Pch_Iostream_Only(benchmark::State& state) { Compare(state, IOSTREAM_ONLY); }
BENCHMARK(BM_Pch_Iostream_Only)->Iterations(16)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
