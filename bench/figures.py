"""Sums up the figures the benchmark runs printed: min and median of each
figure for each contender over the rounds, and the product's median as a
ratio of each reference's median.

  figures.py FILE PRODUCT REFERENCE... [--best FIGURE=PREFIX]... [--goal FIGURE:REFERENCE=RATIO]...
             [--compare FIGURE/FIGURE]...

FILE holds one "contender figure value unit" line per figure and round.
--best: a reference's figure is the best median of its figures named
PREFIX... (the upload at the best piece size). --goal: the ratio that the
product's figure must reach against that reference; the line says whether
it did. --compare: the ratio of two of the product's own figures. Every figure here is a rate: higher is better. Figures only the
product has (a step of its own) are listed without a ratio."""

import statistics
import sys


def main():
    args = sys.argv[1:]
    path, product, references = args[0], args[1], []
    best, goals, compared = {}, {}, []
    i = 2
    while i < len(args):
        if args[i] == "--best":
            figure, prefix = args[i + 1].split("=", 1)
            best[figure] = prefix
            i += 2
        elif args[i] == "--goal":
            key, ratio = args[i + 1].split("=", 1)
            goals[tuple(key.split(":", 1))] = float(ratio)
            i += 2
        elif args[i] == "--compare":
            compared.append(args[i + 1].split("/", 1))
            i += 2
        else:
            references.append(args[i])
            i += 1

    values, units, order = {}, {}, []
    with open(path) as f:
        for line in f:
            parts = line.split()
            if len(parts) < 3:
                continue
            contender, figure, value = parts[0], parts[1], float(parts[2])
            units[figure] = parts[3] if len(parts) > 3 else ""
            if figure not in order:
                order.append(figure)
            values.setdefault((contender, figure), []).append(value)

    def median(contender, figure):
        found = values.get((contender, figure))
        return statistics.median(found) if found else None

    def reference_median(contender, figure):
        if figure in best:
            medians = [median(contender, f) for f in order if f.startswith(best[figure])]
            medians = [m for m in medians if m is not None]
            return max(medians) if medians else None
        return median(contender, figure)

    contenders = [product] + references
    print("%-22s %-10s %10s %10s  %s" % ("figure", "who", "min", "median", "unit"))
    for figure in order:
        for contender in contenders:
            found = values.get((contender, figure))
            if not found:
                continue
            print("%-22s %-10s %10.1f %10.1f  %s" % (figure, contender, min(found), statistics.median(found),
                                                     units[figure]))
    print()
    print("%-22s %-10s %10s %10s  %s" % ("ratio (medians)", "to", "ratio", "goal", ""))
    for figure in order:
        mine = median(product, figure)
        if mine is None:
            continue
        for reference in references:
            theirs = reference_median(reference, figure)
            if not theirs:
                continue
            ratio = mine / theirs
            goal = goals.get((figure, reference))
            verdict = "" if goal is None else ("reached" if ratio >= goal else "NOT reached")
            print("%-22s %-10s %10.2f %10s  %s" % (figure, reference, ratio, "" if goal is None else ">= %.2f" % goal,
                                                   verdict))

    for first, second in compared:
        a, b = median(product, first), median(product, second)
        if a and b:
            print("%-22s %-10s %10.2f" % (first, second, a / b))


if __name__ == "__main__":
    main()
