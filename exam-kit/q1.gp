# q1.gp -- draws the QUESTION 1 signal x(t).
# Reads the breakpoints (t, x) from q1plot.dat and writes q1.png.
# Run it from this folder with:  gnuplot q1.gp

set terminal pngcairo size 720,420 enhanced font "Sans,13"
set output "q1.png"

set title "x(t)" font "Sans,15"
set xlabel "t"
set ylabel "x(t)"
set key off

set xrange [-2.5:8.5]
set yrange [-1.5:3.5]
set xtics -2, 1, 8
set ytics -1, 1, 3
set mxtics 2
set mytics 2
set grid xtics ytics mxtics mytics back lt 1 lw 1 lc rgb "#a8a8a8", lt 1 lw 1 lc rgb "#e4e4e4"
set xzeroaxis lt 1 lw 1.5 lc rgb "black"
set yzeroaxis lt 1 lw 1.5 lc rgb "black"
set border lw 1
set tics out nomirror

plot "q1plot.dat" using 1:2 with lines lw 3 lc rgb "#1f4fbf"

set output
