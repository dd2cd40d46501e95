# Writes rank_interval_119_1000.txt: Rscript tests/data/rank_interval.R > tests/data/rank_interval_119_1000.txt
# Ranks of the 90% confidence interval of the 2.5th percentile, n = 119..1000:
# r = largest r >= 1 with P(B < r) <= 0.05, s = smallest s with P(B < s) >= 0.95, B ~ Bin(n, 0.025).
for (n in 119:1000) {
  r <- max(which(pbinom((1:n) - 1, n, 0.025) <= 0.05))
  s <- min(which(pbinom((1:n) - 1, n, 0.025) >= 0.95))
  cat(n, r, s, "\n")
}
