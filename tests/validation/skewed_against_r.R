# Skewed laboratory-like data through kijunchi-report, checked against R.
#
#   Rscript tests/validation/skewed_against_r.R BUILD/kijunchi-report [COUNT] [SEED]
#
# COUNT data sets (default 500) of log-normal values (sdlog 0.3 to 1.5, n = 20 to 20000),
# a third with one value multiplied by 10 and a third by 100, go through --show evaluation,
# --batch (JSON) and --group. Nothing may abort or be refused; every nonparametric and
# parametric limit must equal R's at the 4 significant digits the program prints (the batch's
# JSON at full precision, to 1e-9 relative). Prints the counts; exits 1 on any disagreement.
args <- commandArgs(trailingOnly = TRUE)
bin <- args[1]
count <- if (length(args) >= 2) as.integer(args[2]) else 500L
set.seed(if (length(args) >= 3) as.integer(args[3]) else 20261209L)
work <- tempfile("kijunchi-skewed-")
dir.create(work)

# The percentile of the report: rank r = (n + 1)p, interpolated along the first or last gap
# outside the data (not clamped like R's type 6 below 39 values).
pct <- function(x, p) {
  x <- sort(x); n <- length(x)
  r <- (n + 1) * p / 100; k <- trunc(r)
  if (k < 1) k <- 1
  if (k >= n) k <- n - 1
  x[k] + (r - k) * (x[k + 1] - x[k])
}
# Ranks of the lower limit's 90% interval: the largest r with P(B < r) <= 0.05 and the smallest
# s with P(B < s) >= 0.95, B ~ Bin(n, 0.025).
ranks <- function(n) {
  below <- pbinom(0:(n - 1), n, 0.025)  # P(B < k) for k = 1..n
  low <- max(c(0, which(below <= 0.05)))
  high <- which(below >= 0.95)[1]
  if (is.na(high) || low < 1) return(NULL)
  c(low, high)
}
# Equal at the printed 4 significant digits: the printed text within half a unit of the 4th
# digit of R's value (and a hair for R's own rounding).
printedEqual <- function(printed, want) {
  if (!is.finite(want)) return(printed == "―")
  got <- suppressWarnings(as.numeric(printed))
  if (is.na(got)) return(FALSE)
  unit <- if (want == 0) 1e-300 else 10^(floor(log10(abs(want))) - 3)
  abs(got - want) <= unit * 0.5 * (1 + 1e-9) + 1e-300
}
near <- function(got, want) !is.null(got) && is.finite(got) && abs(got - want) <= 1e-9 * max(1, abs(want))

counts <- c(sets = 0, evaluation = 0, batch = 0, group = 0, limits = 0, bad = 0)
bad <- function(...) { counts["bad"] <<- counts["bad"] + 1; cat("DISAGREE:", ..., "\n") }
run <- function(argv) {
  out <- suppressWarnings(system2(bin, argv, stdout = TRUE, stderr = FALSE))
  list(code = if (is.null(attr(out, "status"))) 0L else attr(out, "status"), out = out)
}
field <- function(json, key) {
  m <- regmatches(json, regexpr(paste0('"', key, '": [^,}]+'), json))
  if (length(m) == 0) return(NULL)
  v <- sub(paste0('"', key, '": '), "", m)
  if (v == "null") NA_real_ else as.numeric(v)
}

for (i in seq_len(count)) {
  n <- round(exp(runif(1, log(20), log(20000))))
  x <- signif(rlnorm(n, meanlog = runif(1, 0, 3), sdlog = runif(1, 0.3, 1.5)), 5)
  kind <- i %% 3
  if (kind > 0) x[sample.int(n, 1)] <- x[1] * c(10, 100)[kind]
  file <- file.path(work, sprintf("set%03d.txt", i))
  writeLines(format(x, digits = 15, scientific = FALSE, trim = TRUE), file)
  counts["sets"] <- counts["sets"] + 1

  # The evaluation of the first 5000 values.
  kept <- x[seq_len(min(n, 5000))]
  ev <- run(c("--show", "evaluation", file))
  if (ev$code != 0) { bad(file, "evaluation exit", ev$code); next }
  counts["evaluation"] <- counts["evaluation"] + 1
  row <- function(name) strsplit(grep(paste0("^", name, "\t"), ev$out, value = TRUE)[1], "\t")[[1]]
  np <- row("ノンパラメトリック法[＊]?")
  pa <- row("パラメトリック法")
  m <- mean(kept); s <- sd(kept)
  checks <- list(c(np[2], pct(kept, 2.5)), c(np[6], pct(kept, 97.5)),
                 c(pa[2], m - 1.96 * s), c(pa[6], m + 1.96 * s))
  r <- if (length(kept) >= 119) ranks(length(kept)) else NULL
  if (!is.null(r)) {
    k <- sort(kept); nn <- length(k)
    checks <- c(checks, list(c(np[3], k[r[1]]), c(np[5], k[r[2]]), c(np[7], k[nn + 1 - r[2]]),
                             c(np[9], k[nn + 1 - r[1]])))
  }
  for (ch in checks) {
    counts["limits"] <- counts["limits"] + 1
    if (!printedEqual(ch[[1]], as.numeric(ch[[2]]))) bad(file, "evaluation", ch[[1]], "R", ch[[2]])
  }

  # The batch on every value, at full precision.
  b <- run(c("--batch", "--format", "json", file))
  if (b$code != 0) { bad(file, "batch exit", b$code); next }
  counts["batch"] <- counts["batch"] + 1
  json <- paste(b$out, collapse = "\n")
  for (ch in list(list("npLower", pct(x, 2.5)), list("npUpper", pct(x, 97.5)),
                  list("paramLower", mean(x) - 1.96 * sd(x)),
                  list("paramUpper", mean(x) + 1.96 * sd(x)))) {
    counts["limits"] <- counts["limits"] + 1
    if (!near(field(json, ch[[1]]), ch[[2]])) bad(file, "batch", ch[[1]], field(json, ch[[1]]), "R", ch[[2]])
  }

  # Two groups of the same values.
  gfile <- file.path(work, sprintf("group%03d.tsv", i))
  writeLines(c("value\tgroup", paste(format(x, digits = 15, scientific = FALSE, trim = TRUE),
                                      ifelse(seq_len(n) %% 2 == 0, "F", "M"), sep = "\t")), gfile)
  g <- run(c("--group", "group", gfile))
  if (g$code != 0) { bad(gfile, "group exit", g$code); next }
  counts["group"] <- counts["group"] + 1
}
print(counts)
quit(status = if (counts["bad"] > 0) 1 else 0)
