# Times rpart(xval = 10) on a CSV table inside R, for the figures beside Tarvo's: median CPU
# milliseconds (user and system, so that a busy machine does not count) over REPEATS fits after one
# warm-up. The last column is predicted. Usage: Rscript rpart_csv_time.R TABLE.csv TASK REPEATS
suppressPackageStartupMessages(library(rpart))
a <- commandArgs(trailingOnly = TRUE)
d <- read.csv(a[1], na.strings = c("", "NA", "?"), stringsAsFactors = TRUE)
y <- names(d)[ncol(d)]
d <- d[!is.na(d[[y]]), ]
f <- as.formula(paste(y, "~ ."))
meth <- if (a[2] == "classification") "class" else "anova"
reps <- as.integer(a[3]); ts <- c()
cpu <- function() { t <- proc.time(); t[["user.self"]] + t[["sys.self"]] }
for (i in 0:reps) { s <- cpu(); set.seed(1); fit <- rpart(f, data = d, method = meth, xval = 10)
  if (i > 0) ts <- c(ts, cpu() - s) }
cat(round(1000 * median(ts), 1), "\n")
