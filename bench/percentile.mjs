// The value at percentile `p` (0–100) of `sorted` (ascending): the smallest value with at least
// p % of the samples at or below it.
export function percentile(sorted, p) {
  return sorted[Math.min(sorted.length - 1, Math.ceil((p / 100) * sorted.length) - 1)];
}
