# The batch's table computed by a plain R loop, for the batch benchmark's comparison: for every
# analyte column and group of a CSV file, n, the nonparametric limits with their 90% intervals
# by ranks, mean ± 1.96 SD, the λ of largest likelihood (with its 95% interval) and mean ±
# 1.96 SD after the modified power transformation carried back, the biweight limits as
# measured and after the transformation, the skewness, kurtosis and chi-square tests, the
# outlier screen (Tukey, Horn, Dixon–Reed) and the ANOVA SD ratio. Base R only.
#
#   Rscript bench/batch_loop.R FILE GROUPCOLUMN > table.tsv
#   Rscript bench/batch_loop.R --write FILE ANALYTES ROWS   (the benchmark's file)

args <- commandArgs(trailingOnly = TRUE)

if (length(args) == 4 && args[1] == "--write") {
    # Log-normal analytes in two groups, two decimals, as bench/batch_bench.cpp writes them:
    # the 50 levels repeat, so that every column's values have a laboratory's few digits.
    analytes <- as.integer(args[3])
    rows <- as.integer(args[4])
    set.seed(11)
    sex <- ifelse(seq_len(rows) %% 2 == 0, "F", "M")
    out <- data.frame(sex = sex)
    for (a in seq_len(analytes) - 1) {
        meanlog <- 2.0 + 0.02 * (a %% 50) + ifelse(sex == "M", 0.1, 0.0)
        out[[paste0("A", a)]] <- round(rlnorm(rows, meanlog, 0.2), 2)
    }
    write.csv(out, args[2], row.names = FALSE, quote = FALSE, eol = "\r\n")
    quit(save = "no")
}

percentile <- function(x, p) {  # x sorted; rank (n + 1)p, as the program takes it
    n <- length(x)
    r <- (n + 1) * p / 100
    k <- min(max(trunc(r), 1), n - 1)
    x[k] + (r - k) * (x[k + 1] - x[k])
}

lowerRanks <- function(n) {
    below <- pbinom(0:(n - 1), n, 0.025)  # P(B < k), k = 1..n
    low <- max(c(0, which(below <= 0.05)))
    high <- which(below >= 0.95)[1]
    if (low < 1 || is.na(high)) NULL else c(low, high)
}

power <- function(x, l) if (l == 0) log(x) else (x^l - 1) / l + l
inverse <- function(y, l) {
    if (l == 0) return(exp(y))
    base <- l * y - l^2 + 1
    if (base < 0) NA else base^(1 / l)
}

likelihood <- function(logs, l) {
    n <- length(logs)
    y <- if (l == 0) logs else expm1(l * logs) / l
    -n / 2 * log(sum((y - mean(y))^2) / n) + (l - 1) * sum(logs)
}

lambdaHat <- function(x) {
    if (length(x) < 3 || any(x <= 0)) return(NULL)
    logs <- log(x)
    f <- function(l) likelihood(logs, l)
    top <- optimize(f, c(-1, 3), maximum = TRUE, tol = 1e-7)
    level <- top$objective - 1.921
    g <- function(l) f(l) - level
    low <- if (g(-1) < 0) uniroot(g, c(-1, top$maximum), tol = 1e-7)$root else -1
    high <- if (g(3) < 0) uniroot(g, c(top$maximum, 3), tol = 1e-7)$root else 3
    c(top$maximum, low, high)
}

biweight <- function(x) {  # Horn and Pesce's robust limits
    n <- length(x)
    m <- median(x)
    mad <- median(abs(x - m)) / 0.6745
    if (n < 20 || mad == 0) return(c(NA, NA))
    t <- m
    for (i in 1:500) {
        u <- (x - t) / (3.7 * mad)
        w <- ifelse(abs(u) < 1, (1 - u^2)^2, 0)
        step <- sum(w * (x - t)) / sum(w)
        t <- t + step
        if (abs(step) <= 1e-10 * mad) break
    }
    scale <- function(centre, c) {
        u <- (x - centre) / (c * mad)
        keep <- abs(u) < 1
        d <- sum(((1 - u^2) * (1 - 5 * u^2))[keep])
        c * mad * sqrt(n * sum((u^2 * (1 - u^2)^4)[keep]) / (d * max(1, d - 1)))
    }
    sbi <- scale(m, 205.6)
    u <- (x - t) / (3.7 * scale(m, 3.7))
    keep <- abs(u) < 1
    d <- sum(((1 - u^2) * (1 - 5 * u^2))[keep])
    st <- 3.7 * scale(m, 3.7) * sqrt(sum((u^2 * (1 - u^2)^4)[keep]) / (d * max(1, d - 1)))
    half <- qt(0.975, n - 1) * sqrt(sbi^2 + st^2)
    c(t - half, t + half)
}

normality <- function(x) {  # D'Agostino's skewness and kurtosis tests, chi-square in 5 classes
    n <- length(x)
    d <- x - mean(x)
    b1 <- sqrt(n) * sum(d^3) / sum(d^2)^1.5
    b2 <- n * sum(d^4) / sum(d^2)^2
    y <- b1 * sqrt((n + 1) * (n + 3) / (6 * (n - 2)))
    beta2 <- 3 * (n^2 + 27 * n - 70) * (n + 1) * (n + 3) / ((n - 2) * (n + 5) * (n + 7) * (n + 9))
    w2 <- sqrt(2 * (beta2 - 1)) - 1
    zs <- log(y / sqrt(2 / (w2 - 1)) + sqrt((y / sqrt(2 / (w2 - 1)))^2 + 1)) / sqrt(log(sqrt(w2)))
    eb2 <- 3 * (n - 1) / (n + 1)
    vb2 <- 24 * n * (n - 2) * (n - 3) / ((n + 1)^2 * (n + 3) * (n + 5))
    sk <- 6 * (n^2 - 5 * n + 2) / ((n + 7) * (n + 9)) * sqrt(6 * (n + 3) * (n + 5) / (n * (n - 2) * (n - 3)))
    a <- 6 + 8 / sk * (2 / sk + sqrt(1 + 4 / sk^2))
    z <- (b2 - eb2) / sqrt(vb2)
    zk <- ((1 - 2 / (9 * a)) - ((1 - 2 / a) / (1 + z * sqrt(2 / (a - 4))))^(1 / 3)) / sqrt(2 / (9 * a))
    breaks <- seq(min(x), max(x), length.out = 6)
    observed <- tabulate(findInterval(x, breaks, rightmost.closed = TRUE), 5)
    expected <- n * diff(pnorm(c(-Inf, breaks[2:5], Inf), mean(x), sd(x)))
    chi <- sum((observed - expected)^2 / expected)
    c(2 * pnorm(-abs(zs)), 2 * pnorm(-abs(zk)), pchisq(chi, 2, lower.tail = FALSE))
}

tukey <- function(y) {
    s <- sort(y)
    q1 <- percentile(s, 25)
    q3 <- percentile(s, 75)
    which(y < q1 - 1.5 * (q3 - q1) | y > q3 + 1.5 * (q3 - q1))
}

dixonReed <- function(x) {
    o <- order(x)
    low <- 1
    high <- length(x)
    flagged <- integer(0)
    repeat {
        any <- FALSE
        if (high - low >= 2) {
            range <- x[o[high]] - x[o[low]]
            if (range > 0 && x[o[low + 1]] - x[o[low]] >= range / 3) {
                flagged <- c(flagged, o[low]); low <- low + 1; any <- TRUE
            }
        }
        if (high - low >= 2) {
            range <- x[o[high]] - x[o[low]]
            if (range > 0 && x[o[high]] - x[o[high - 1]] >= range / 3) {
                flagged <- c(flagged, o[high]); high <- high - 1; any <- TRUE
            }
        }
        if (!any) break
    }
    flagged
}

figures <- function(x) {
    n <- length(x)
    s <- sort(x)
    np <- c(percentile(s, 2.5), percentile(s, 97.5))
    ci <- rep(NA, 4)
    ranks <- lowerRanks(n)
    if (!is.null(ranks)) ci <- c(s[ranks[1]], s[ranks[2]], s[n + 1 - ranks[2]], s[n + 1 - ranks[1]])
    param <- mean(x) + c(-1.96, 1.96) * sd(x)
    lambda <- lambdaHat(x)
    transformed <- rep(NA, 4)
    outliers <- tukey(x)
    if (!is.null(lambda)) {
        y <- power(x, lambda[1])
        back <- function(v) sapply(v, inverse, l = lambda[1])
        transformed <- c(back(mean(y) + c(-1.96, 1.96) * sd(y)), back(biweight(y)))
        outliers <- c(outliers, tukey(y))
    }
    if (n >= 20) outliers <- c(outliers, dixonReed(x))
    c(n, np[1], ci[1:2], np[2], ci[3:4], param, lambda[1], transformed[1:2], biweight(x),
      transformed[3:4], normality(x), length(unique(outliers)))
}

sdr <- function(groups) {  # one-way analysis of variance: SD between / SD within
    n <- sapply(groups, length)
    means <- sapply(groups, mean)
    grand <- sum(n * means) / sum(n)
    within <- sum(sapply(groups, function(g) sum((g - mean(g))^2))) / (sum(n) - length(n))
    between <- max(0, (sum(n * (means - grand)^2) / (length(n) - 1) - within) /
                         ((sum(n) - sum(n^2) / sum(n)) / (length(n) - 1)))
    sqrt(between) / sqrt(within)
}

data <- read.csv(args[1], check.names = FALSE)
group <- args[2]
labels <- as.character(data[[group]])
cat("項目\tグループ\t", paste(c("データ数", "ノンパラ下限", "下限90%CI下", "下限90%CI上",
    "ノンパラ上限", "上限90%CI下", "上限90%CI上", "パラ下限", "パラ上限", "λ", "変換パラ下限",
    "変換パラ上限", "ロバスト下限", "ロバスト上限", "変換ロバスト下限", "変換ロバスト上限",
    "歪度p", "尖度p", "カイ二乗p", "外れ値", "SDR"), collapse = "\t"), "\r\n", sep = "")
for (analyte in setdiff(names(data), group)) {
    values <- suppressWarnings(as.numeric(data[[analyte]]))
    groups <- split(values[!is.na(values)], labels[!is.na(values)])
    ratio <- sdr(groups)
    for (g in names(groups)) {
        row <- signif(c(figures(groups[[g]]), ratio), 4)
        cat(analyte, "\t", g, "\t", paste(row, collapse = "\t"), "\r\n", sep = "")
    }
}
