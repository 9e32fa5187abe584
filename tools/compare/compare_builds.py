#!/usr/bin/env python3
"""Runs two builds of tarvo-run on seeded random tables over many parameter values and reports
every table whose reports differ. Usage: compare_builds.py REFERENCE_RUN CANDIDATE_RUN PROG_PAR
[--tables N] [--seed S] [--vary-weight]. Exit 1 when any report differs or a run fails.
--vary-weight also draws the target weight (0, tiny, fractional, large) instead of 1."""
import argparse, filecmp, os, random, shutil, subprocess, sys, tempfile


def make_table(rng):
    """A random table: a nominal or numeric target, nominal and numeric predictors, missing
    values, few distinct values now and then so that ties and repeated groups are common."""
    objects = rng.randint(8, 30)
    predictors = rng.randint(2, 5)
    classification = rng.random() < 0.6
    classes = rng.randint(2, 4)
    kinds = []
    for _ in range(predictors):
        if rng.random() < 0.35:
            kinds.append(("nominal", rng.randint(2, 5)))
        else:
            kinds.append(("numeric", rng.choice([3, 6, 20, 1000])))
    missing = rng.choice([0.0, 0.0, 0.05, 0.2])
    types = ["0(%d)" % classes if classification else "1"]
    types += ["0(%d)" % k if kind == "nominal" else "1" for kind, k in kinds]
    names = ["target"] + ["x%d" % (i + 1) for i in range(predictors)]
    rows = []
    for _ in range(objects):
        values = []
        for kind, k in kinds:
            if rng.random() < missing:
                values.append("?")
            elif kind == "nominal":
                values.append("v%d" % rng.randint(0, k - 1))
            else:
                values.append(str(rng.randint(0, k)) if k < 1000 else "%.2f" % (rng.random() * 50))
        signal = sum(float(v) if v not in ("?",) and not v.startswith("v") else 1.0
                     for v in values[:2])
        if classification:
            c = int(signal) % classes if rng.random() < 0.7 else rng.randint(0, classes - 1)
            target = "c%d" % c
        else:
            target = "%.1f" % (signal * 1.5 + rng.random() * 4)
        rows.append(" ".join([target] + values))
    text = "%d %d ?\r\n%s\r\n%s\r\n" % (objects, predictors + 1, " ".join(types), " ".join(names))
    return text + "".join(r + "\r\n" for r in rows)


def make_parameters(rng, vary_weight=False):
    weight = rng.choice([1.0, 0.5, 2.0, 0.0, 1e-13, 37.0]) if vary_weight else 1.0
    rc = rng.choice([1, 1.5, 2, 2.5, 3, 1.3, 2.7, 1.9, 2.2])
    homogeneity = rng.choice([0.05, 0.01])
    variants = rng.choice([1, 1, 2])
    folds = rng.choice([0, 3, 5, 10])
    return "%s %.3f %.3f  100   %d   1  %d\r\n" % (
        "%.3f" % weight if weight >= 1e-3 or weight == 0 else repr(weight), rc, homogeneity,
        variants, folds)


def run(binary, folder):
    try:
        os.remove(os.path.join(folder, "output.txt"))
    except FileNotFoundError:
        pass
    try:
        subprocess.run([binary, "table.txt"], cwd=folder, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120, check=False)
    except subprocess.TimeoutExpired:
        pass  # no report: counted as a difference, and the table is kept


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("reference")
    parser.add_argument("candidate")
    parser.add_argument("prog_par")
    parser.add_argument("--tables", type=int, default=200)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--vary-weight", action="store_true")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    work = tempfile.mkdtemp()
    folders = {}
    for name in ("reference", "candidate"):
        folders[name] = os.path.join(work, name)
        os.mkdir(folders[name])
        shutil.copy(args.prog_par, os.path.join(folders[name], "prog.par"))
    differ = 0
    for t in range(args.tables):
        table, parameters = make_table(rng), make_parameters(rng, args.vary_weight)
        for name, binary in (("reference", args.reference), ("candidate", args.candidate)):
            with open(os.path.join(folders[name], "table.txt"), "w", newline="") as f:
                f.write(table)
            with open(os.path.join(folders[name], "param.par"), "w", newline="") as f:
                f.write(parameters)
            run(os.path.abspath(binary), folders[name])
        a = os.path.join(folders["reference"], "output.txt")
        b = os.path.join(folders["candidate"], "output.txt")
        if not (os.path.exists(a) and os.path.exists(b) and filecmp.cmp(a, b, shallow=False)):
            differ += 1
            kept = os.path.join(work, "differs-%d" % t)
            shutil.copytree(folders["candidate"], kept)
            print("table %d differs (%s): kept in %s" % (t, parameters.strip(), kept), flush=True)
    print("%d tables, %d differ" % (args.tables, differ), flush=True)
    if not differ:
        shutil.rmtree(work)
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
