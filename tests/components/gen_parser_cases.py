#!/usr/bin/env python3
"""Random expressions for the expression parser's differential test.

Builds random expression trees, writes each as the user would type it (only
the parentheses the operator weights need, names in random letter case,
random spaces, functions with and without parentheses), and computes its
value independently of the parser under test: the tree is evaluated here,
right operand before left, with the same error rules. Each value carries a
bound of its rounding error, so cases whose outcome hinges on rounding (a
near-zero divisor, a quotient next to an integer, a text next to a rounding
tie) are left out or not compared as text. Some cases are broken on purpose
(an operator directly before a minus, two pairs of parentheses, a missing
operand) and must not prepare.

Output: one case per line, tab-separated:
  value  <expression> <x> <a> <b> <c> <d> <value> <tolerance> <text or ~>
  error  <expression> <x> <a> <b> <c> <d> <message>
  notree <expression> <x> <a> <b> <c> <d>
Numbers use "." as the decimal separator.

usage: gen_parser_cases.py OUTPUT [COUNT] [SEED]
"""

import math
import random
import sys
from decimal import Decimal, ROUND_HALF_UP

EPS = 2.0 ** -52          # a double's rounding, with room for a second one
SAFETY = 16.0
PI, E = 3.1415927, 2.7182818
DIVISION = "Division durch 0"
ROOT = "Kein negativer Ausdruck unter Wurzel erlaubt."
LOG = "Log von X mit X <= 0"
OVERFLOW = "Floating point overflow"
FUNCTIONS = {"sin": "s", "cos": "c", "tan": "t", "ln": "n", "lg": "g", "abs": "r"}
WEIGHT = {"+": 1, "-": 1, "*": 2, "/": 2, "mod": 2, "^": 4}
ATOM, FUNC = 100, 8


class Fragile(Exception):
    """The outcome depends on rounding; the case is left out."""


class EvalError(Exception):
    pass


# ------------------------------------------------------------------ trees

def number_text(rng):
    kind = rng.random()
    if kind < 0.5:
        return str(rng.randint(0, 20))
    if kind < 0.7:
        return str(rng.randint(21, 1000))
    whole = rng.randint(0, 50)
    frac = str(rng.randint(1, 999)).rjust(3, "0").rstrip("0")
    return f"{whole}.{frac}"


def random_case(rng, word):
    return "".join(c.upper() if rng.random() < 0.3 else c for c in word)


def tree(rng, depth):
    if depth <= 0 or rng.random() < 0.25:
        r = rng.random()
        if r < 0.5:
            return ("num", number_text(rng))
        if r < 0.85:
            return ("var", rng.choice("xabcd"))
        return ("const", rng.choice(["pi", "e"]))
    r = rng.random()
    if r < 0.12:
        return ("neg", tree(rng, depth - 1))
    if r < 0.3:
        return ("func", rng.choice(list(FUNCTIONS)), tree(rng, depth - 1))
    op = rng.choice(["+", "-", "*", "/", "mod", "^", "+", "-", "*", "/"])
    return ("bin", op, tree(rng, depth - 1), tree(rng, depth - 1))


# ------------------------------------------------------------------ text
# render() gives (text, weight of its lowest operator, wrapped) where
# wrapped says the whole text is one pair of parentheses (another pair
# around it would be two pairs, which does not prepare).

def paren(text, wrapped):
    return text if wrapped else "(" + text + ")"


def render(rng, node):
    kind = node[0]
    if kind in ("num", "var", "const"):
        text = node[1] if kind == "num" else random_case(rng, node[1])
        if rng.random() < 0.05:
            return "(" + text + ")", ATOM, True
        return text, ATOM, False
    if kind == "neg":
        text, w, wrapped = render(rng, node[1])
        if w <= 1:
            text = paren(text, wrapped)
        return "-" + text, 1, False
    if kind == "func":
        text, w, wrapped = render(rng, node[2])
        name = random_case(rng, node[1])
        if w >= FUNC and not wrapped and rng.random() < 0.4:
            return name + " " * rng.randint(0, 1) + text, FUNC, False
        return name + paren(text, wrapped), FUNC, False
    _, op, left, right = node
    w = WEIGHT[op]
    ltext, lw, lwrapped = render(rng, left)
    rtext, rw, rwrapped = render(rng, right)
    # Power works from the right, the others from the left.
    if lw < w or (lw == w and op == "^"):
        ltext = paren(ltext, lwrapped)
    if rw < w or (rw == w and op != "^"):
        rtext = paren(rtext, rwrapped)
    name = random_case(rng, op) if op == "mod" else op
    space = " " if op == "mod" or rng.random() < 0.2 else ""
    return ltext + space + name + space + rtext, w, False


def broken(rng, node, text):
    """A text that must not prepare."""
    how = rng.randrange(4)
    if how == 0:
        return text + rng.choice(["+", "-", "*", "/", "^", " mod "])
    if how == 1:
        return rng.choice(["*", "/", "^"]) + text
    if how == 2:
        return "((" + text + "))"
    # An operator directly followed by a minus.
    return text + rng.choice(["*", "/", "^", "+", "-", " mod "]) + "-" + rng.choice(["2", "x", "pi"])


# ------------------------------------------------------------------ values
# Each value comes with a bound of its absolute rounding error.

def exact_int(v):
    return v == int(v) and abs(v) < 2.0 ** 52


def check(v, err):
    if abs(v) > 1e15 or not math.isfinite(v):
        raise Fragile()
    return v, err


def near(v, err, target=0.0):
    """True when rounding could put v on either side of target."""
    return err > 0 and abs(v - target) <= SAFETY * err


def evaluate(node, variables):
    kind = node[0]
    if kind == "num":
        v = float(node[1])
        return v, 0.0 if exact_int(v) else EPS * abs(v)
    if kind == "var":
        v = float(variables[node[1]])
        return v, 0.0 if exact_int(v) else EPS * abs(v)
    if kind == "const":
        v = PI if node[1] == "pi" else E
        return v, EPS * v
    if kind == "neg":
        v, err = evaluate(node[1], variables)
        return -v, err
    if kind == "func":
        v, err = evaluate(node[2], variables)
        f = FUNCTIONS[node[1]]
        if f in "sct":
            if abs(v) > 1e6:
                raise Fragile()
            if f == "s":
                return math.sin(v), err + 2 * EPS
            if f == "c":
                return math.cos(v), err + 2 * EPS
            t = math.tan(v)
            if abs(t) > 1e6:
                raise Fragile()
            return check(t, err * (1 + t * t) + 2 * EPS * abs(t))
        if f in "ng":
            if near(v, err):
                raise Fragile()
            if v <= 0:
                raise EvalError(LOG)
            r = math.log(v) if f == "n" else math.log(v) / math.log(10)
            return r, err / v + 2 * EPS * (abs(r) + 1)
        return abs(v), err
    _, op, left, right = node
    # Right operand first: its error is the one raised.
    r, er = evaluate(right, variables)
    l, el = evaluate(left, variables)
    if op in "+-":
        v = l + r if op == "+" else l - r
        exact = el == 0 and er == 0 and exact_int(v)
        return check(v, 0.0 if exact else el + er + EPS * abs(v))
    if op == "*":
        if l == 0 or r == 0:
            if (l == 0 and el > 0) or (r == 0 and er > 0):
                raise Fragile()
            return 0.0, 0.0
        v = l * r
        exact = el == 0 and er == 0 and exact_int(v)
        return check(v, 0.0 if exact else abs(l) * er + abs(r) * el + EPS * abs(v))
    if op == "/":
        if near(r, er):
            raise Fragile()
        if r == 0:
            raise EvalError(DIVISION)
        v = l / r
        return check(v, (el + abs(v) * er) / abs(r) + EPS * abs(v))
    if op == "mod":
        if near(r, er):
            raise Fragile()
        if r == 0:
            return 0.0, 0.0
        q = l / r
        eq = (el + abs(q) * er) / abs(r) + EPS * abs(q)
        if abs(q) >= 2.0 ** 63:
            raise Fragile()
        if near(q, eq, round(q)):
            raise Fragile()
        t = math.trunc(q)
        v = l - r * t
        exact = el == 0 and er == 0 and exact_int(l) and exact_int(r)
        return check(v, 0.0 if exact else el + abs(t) * er + EPS * (abs(l) + abs(v)))
    # power
    if near(l, el):
        raise Fragile()
    integral = r == math.trunc(r)
    if er > 0 and near(r, er, round(r)):
        raise Fragile()
    if l < 0 and not integral:
        raise EvalError(ROOT)
    if l == 0 and r < 0:
        raise EvalError(DIVISION)
    if l == 0:
        return (1.0 if r == 0 else 0.0), 0.0
    magnitude = r * math.log10(abs(l))
    if abs(magnitude - 308.25) < 1:
        raise Fragile()
    if magnitude > 308.25:
        raise EvalError(OVERFLOW)
    v = math.pow(l, r)
    if v == 0:
        return 0.0, 0.0
    exact = el == 0 and er == 0 and exact_int(v) and integral and r >= 0
    rel = abs(r) * el / abs(l) + abs(math.log(abs(l))) * er + 4 * EPS
    return check(v, 0.0 if exact else abs(v) * rel)


# ------------------------------------------------------------------ text of a result

def result_text(v, precision=8):
    """The result as the parser writes it: the double's exact value rounded
    once, half away from zero, to `precision` places."""
    if v == 0:
        return "0"
    d = Decimal(v)
    d = d.quantize(Decimal(1).scaleb(-precision), rounding=ROUND_HALF_UP)
    if d == 0:
        return "0"
    text = format(d, "f")
    if "." in text:
        text = text.rstrip("0").rstrip(".")
    return text


def variable_text(rng):
    r = rng.random()
    if r < 0.5:
        return str(rng.randint(-5, 10))
    if r < 0.6:
        return ""
    whole = rng.randint(-20, 20)
    frac = str(rng.randint(1, 999)).rjust(3, "0").rstrip("0")
    return ("-" if whole == 0 and rng.random() < 0.5 else "") + f"{whole}.{frac}"


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 3000
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 16)
    lines = []
    while len(lines) < count:
        variables = {k: variable_text(rng) for k in "xabcd"}
        values = {k: (v if v else "0") for k, v in variables.items()}
        node = tree(rng, rng.randint(1, 5))
        text = render(rng, node)[0]
        fields = [text] + [variables[k] for k in "xabcd"]
        if rng.random() < 0.1:
            fields[0] = broken(rng, node, text)
            lines.append("\t".join(["notree"] + fields))
            continue
        try:
            v, err = evaluate(node, values)
        except Fragile:
            continue
        except EvalError as e:
            lines.append("\t".join(["error"] + fields + [str(e)]))
            continue
        tolerance = max(SAFETY * err, 1e-15 * abs(v))
        low, high = result_text(v - tolerance), result_text(v + tolerance)
        shown = result_text(v) if low == high else "~"
        lines.append("\t".join(["value"] + fields + [repr(v), repr(tolerance), shown]))
    with open(out, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
