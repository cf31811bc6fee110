' Names are ASCII letters and _ in every locale: ê is not part of the name.
float abc, x
x = abcê
