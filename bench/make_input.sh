#!/bin/sh
# Writes an input file of a random cycle of N steps to standard output, for
# timing KINEX.exe from outside; with "all" as the second argument every step
# has a reactant and a product concentration, otherwise none.
#   bench/make_input.sh 1000 all > /tmp/c1000.txt
#   /usr/bin/time -v build/KINEX.exe /tmp/c1000.txt > /dev/null
n=${1:?usage: make_input.sh N [all]}
awk -v n="$n" -v all="${2:-}" 'BEGIN {
  srand(12345)
  printf "298.15\n%d\n", n
  for (i = 1; i <= n; i++) {
    reac = all == "all" ? sprintf("%.2f", 0.5 + 1.5 * rand()) : "x"
    prod = all == "all" ? sprintf("%.2f", 0.5 + 1.5 * rand()) : "x"
    printf "%.1f %.1f %s %s\n", -10 + 20 * rand(), 10 + 20 * rand(), reac, prod
  }
  printf "-10.0\n"
}'
