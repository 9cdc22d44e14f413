#include "browse/child_match.h"

#include <algorithm>
#include <cstdint>

int CompareInFolder(win::IShellFolder* folder, win::LPCITEMIDLIST a, win::LPCITEMIDLIST b) {
  const win::HRESULT hr = folder->CompareIDs(0, a, b);
  if (win::FAILED(hr)) return 0;
  return std::int16_t(win::HRESULT_CODE(hr));
}

TChildMatch MatchChildren(win::IShellFolder* folder,
                          const std::vector<win::LPCITEMIDLIST>& existing,
                          const std::vector<win::LPCITEMIDLIST>& fresh) {
  std::vector<std::size_t> sorted(existing.size());
  for (std::size_t i = 0; i < sorted.size(); ++i) sorted[i] = i;
  std::stable_sort(sorted.begin(), sorted.end(), [&](std::size_t a, std::size_t b) {
    return CompareInFolder(folder, existing[a], existing[b]) < 0;
  });
  TChildMatch match;
  // From last to first, so the new items come out in reverse and are turned round once.
  for (std::size_t k = fresh.size(); k-- > 0;) {
    const auto at = std::lower_bound(sorted.begin(), sorted.end(), fresh[k],
                                     [&](std::size_t e, win::LPCITEMIDLIST item) {
                                       return CompareInFolder(folder, existing[e], item) < 0;
                                     });
    if (at != sorted.end() && CompareInFolder(folder, existing[*at], fresh[k]) == 0) {
      sorted.erase(at);
    } else {
      match.added.push_back(k);
    }
  }
  std::reverse(match.added.begin(), match.added.end());
  match.gone.assign(sorted.begin(), sorted.end());
  std::sort(match.gone.begin(), match.gone.end());
  return match;
}
