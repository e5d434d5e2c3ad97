#include <cstring>

#include "platform/files.h"

namespace platform {

bool Head_Reader::Add(Head& h, const char* p, std::size_t n) {
  const char* end = p + n;
  while (p < end && seen < lines) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    std::size_t k = static_cast<std::size_t>((lf ? lf : end) - p);
    // A line that grows past max_line gives back what was kept of it, and
    // is noted once; the rest of it is passed over.
    std::size_t before = line;
    line += k;
    if (line <= max_line) {
      h.content.append(p, k);
    } else if (before <= max_line) {
      h.content.resize(h.content.size() - before);
      h.dropped.push_back(seen);
    }
    if (!lf) break;
    h.content += '\n';
    line = 0;
    ++seen;
    p = lf + 1;
  }
  return seen < lines;
}

}  // namespace platform
