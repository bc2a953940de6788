/*
 * signals.c -- your answers to the mock midterm.
 *
 * Fill in the bodies of x, y, z and r below. Each one must return the
 * value of its signal at time t. Do not rename the functions or change
 * their prototypes, and do not add a main function.
 */

/* Unit step: u(t) = 1 for t >= 0, and 0 otherwise. (Already done.) */
double u(double t)
{
    if (t >= 0)
        return 1;
    return 0;
}

/* QUESTION 1: x(t) as a piecewise function, read off the plot in q1.png. */
double x(double t)
{
    (void)t;
    return 0;
}

/* QUESTION 2: y(t), the time-shifted and time-scaled version of x(t). */
double y(double t)
{
    (void)t;
    return 0;
}

/* QUESTION 3: y(t) again, written only with steps u(t) and ramps t*u(t). */
double z(double t)
{
    (void)t;
    return 0;
}

/* QUESTION 4: r(t), the running integral of x(t), as a piecewise function. */
double r(double t)
{
    (void)t;
    return 0;
}
