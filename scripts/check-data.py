#!/usr/bin/env python3
"""Checks the ZRD data set in data/ (or the folder given) for consistency.

It reads the files as the program reads them and checks, among other things:
- encoding (UTF-8 with byte-order mark or ASCII, CR LF line ends, Windows-1251 safe);
- Param_base.mod: the scan as the loader runs it (line kinds, end-of-scan rule, field
  counts, integer and real fields), unique mnemonics, drive indexes and line keys,
  limits that hold the default and fit the raw type, status words, scope signals,
  bit tables, page layout, calculated parameters;
- every formula: it is converted and evaluated with an independent implementation of
  the formula language, for every motor type and drive type, passes in order, and the
  results must keep each default inside its limits;
- Motor_type.mod, Drive_type.mod, mess.dic (exactly 150 messages), dict_eng.dic and
  the function-name lists.
Exit status 0 when everything holds; otherwise each fault is printed.
"""

import math
import os
import re
import sys

FAULTS = []


def fault(text):
    FAULTS.append(text)


# ---------------------------------------------------------------------------------
# Files
# ---------------------------------------------------------------------------------

def read_lines(path, need_bom=True):
    with open(path, "rb") as f:
        data = f.read()
    name = os.path.basename(path)
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    elif need_bom:
        fault("%s: no UTF-8 byte-order mark" % name)
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        fault("%s: not UTF-8: %s" % (name, e))
        return []
    if not need_bom and not all(ord(c) < 128 for c in text):
        fault("%s: written without a mark but not ASCII" % name)
    if text and not text.endswith("\r\n"):
        fault("%s: last line not ended by CR LF" % name)
    if re.search(r"(?<!\r)\n", text) or re.search(r"\r(?!\n)", text):
        fault("%s: line end other than CR LF" % name)
    try:
        text.encode("cp1251")
    except UnicodeEncodeError as e:
        fault("%s: character outside Windows-1251: %s" % (name, e))
    lines = text.split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def is_int(text):
    return re.fullmatch(r"[+-]?\d+", text) is not None


def is_real(text):
    return re.fullmatch(r"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?", text) is not None


# ---------------------------------------------------------------------------------
# Formula language (converter and evaluator)
# ---------------------------------------------------------------------------------

KEYWORDS = [("log", "l"), ("ln", "l"), ("arcsin", "b"), ("arccos", "d"), ("arctg", "h"),
            ("arcctg", "k"), ("sin", "s"), ("cos", "c"), ("ctg", "u"), ("tg", "t"),
            ("exp", "e"), ("abs", "a"), ("min", "m"), ("max", "x"), ("if", "f"),
            ("then", "j"), ("else", "o"), ("<>", "q"), ("<=", "r"), (">=", "v"),
            ("and", "w"), ("or", "y")]


class FormulaError(Exception):
    pass


def priority(ch):
    if ch == "n":
        return 9
    if ch in "abcdeghklstumx":
        return 8
    if ch in "^!":
        return 7
    if ch in "*/":
        return 6
    if ch in "+-":
        return 5
    if ch in "wy":
        return 4
    if ch in "<>=qrvjo":
        return 3
    if ch == "(":
        return 2
    if ch == "f":
        return 1
    return 0


def is_operator(ch):
    return ch in "!*+-/<=>^" or ("a" <= ch <= "y" and ch not in "ip")


def tokens(text):
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if 1 <= ord(c) <= 32:
            i += 1
        elif c.isalpha() or c == "_":
            j = i + 1
            while j < n and (text[j].isalnum() or text[j] == "_"):
                j += 1
            yield text[i:j]
            i = j
        elif c.isdigit() or c == "-":
            j = i + 1
            while j < n and text[j].isdigit():
                j += 1
            while j < n and text[j] in "+-.0123456789Ee":
                j += 1
            if j < n and text[j] in "cCdDfFsS":
                j += 1
            yield text[i:j]
            i = j
        elif c == "'":
            raise FormulaError("quoted strings are not used in the data set")
        else:
            yield c
            i += 1


def num_text(v):
    if v == 0:
        return "0"
    s = "%.15G" % v
    if "E" in s:
        mant, exp = s.split("E")
        if "." in mant:
            mant = mant.rstrip("0").rstrip(".")
        return "%sE%d" % (mant, int(exp))
    if "." in s:
        s = s.rstrip("0").rstrip(".")
    return s


def to_number(text):
    if not is_real(text):
        raise FormulaError("not a number: %r" % text)
    return float(text)


def parse_string(text, lookup):
    """lookup(name) -> value or None; returns the postfix list."""
    if "f:" in text:
        text = text[2:]
    text = "".join(chr(ord(c) & 0xFF) for c in text)
    for word, code in KEYWORDS:
        text = re.sub(re.escape(word), code, text, flags=re.IGNORECASE)
    out, stack, join = [], [], False
    for tok in tokens(text):
        lead = tok[0]
        if lead == "p":
            m = re.match(r"p(\d{0,3})", tok)
            name = "p" + m.group(1)
            v = lookup(name)
            if v is None:
                raise FormulaError("no parameter with the key %s" % name)
            v = to_number(num_text(v))
            if v >= 0:
                out.append(num_text(v))
            else:
                out.extend(["0", num_text(abs(v)), "-"])
        if lead.isdigit():
            if join:
                out[-1] += tok
                join = False
            else:
                out.append(tok)
        if lead == ".":
            if not out:
                raise FormulaError("leading '.'")
            out[-1] += tok
            join = True
        if lead == "|" and stack:
            while stack and stack[-1] != "(":
                out.append(stack.pop())
        if is_operator(lead):
            if not out and lead == "-":
                out.append("0")
            if not stack:
                stack.append(tok)
            elif priority(stack[-1][0]) < priority(lead):
                stack.append(tok)
            elif lead == "f":
                stack.append(tok)
            elif stack[-1] == "o" and lead == "o":
                for _ in range(3):
                    out.append(stack.pop())
                stack.append(tok)
            else:
                out.append(stack.pop())
                while stack and priority(stack[-1][0]) >= priority(lead):
                    out.append(stack.pop())
                stack.append(tok)
        if lead == "(":
            stack.append(tok)
        if lead == ")":
            while stack:
                top = stack.pop()
                if top == "(":
                    break
                out.append(top)
    while stack:
        out.append(stack.pop())
    return out


def truth(text):
    if text.lower() == "true":
        return True
    if text.lower() == "false":
        return False
    return to_number(text) != 0


def evaluate(items):
    st = []

    def pop():
        if not st:
            raise FormulaError("too few operands")
        return st.pop()

    for i, item in enumerate(items):
        lead = item[0]
        if lead.isdigit():
            st.append(item)
            continue
        if lead == "f":
            h = len(st)
            if i > 0 and items[i - 1] == "o" and h > 2:
                cond, x, y = st[h - 3], st[h - 2], st[h - 1]
                del st[h - 3:]
            else:
                if h < 2:
                    raise FormulaError("too few operands for if")
                cond, x, y = st[h - 2], st[h - 1], "0"
                del st[h - 2:]
            st.append(num_text(to_number(x) if truth(cond) else to_number(y)))
            continue
        if lead in "wy":
            if len(st) < 2:
                raise FormulaError("too few operands")
            c1, c2 = st[-2], st[-1]
            del st[-2:]
            r = (truth(c1) and truth(c2)) if lead == "w" else (truth(c1) or truth(c2))
            st.append("-1" if r else "0")
            continue
        x = to_number(pop())
        if lead in "*+-/<=>^mqrvx":
            y = to_number(pop())
        if lead in "jo":
            r = x
        elif lead == "n":
            r = -x
        elif lead == "a":
            r = abs(x)
        elif lead == "b":
            r = math.asin(x)
        elif lead == "c":
            r = math.cos(x)
        elif lead == "d":
            r = math.acos(x)
        elif lead == "e":
            r = math.exp(x)
        elif lead == "g":
            r = math.log10(x)
        elif lead == "h":
            r = math.atan(x)
        elif lead == "k":
            r = math.pi / 2 if x == 0 else math.atan(1 / x)
        elif lead == "l":
            r = math.log(x)
        elif lead == "s":
            r = math.sin(x)
        elif lead == "t":
            r = math.tan(x)
        elif lead == "u":
            r = 1 / math.tan(x)
        elif lead == "m":
            r = x if y >= x else y
        elif lead == "x":
            r = y if y > x else x
        elif lead == "^":
            r = y ** x
        elif lead == "*":
            r = y * x
        elif lead == "/":
            if x == 0:
                raise FormulaError("division by zero")
            r = y / x
        elif lead == "+":
            r = y + x
        elif lead == "-":
            r = y - x
        elif lead in "<>=qrv":
            r = {"<": y < x, ">": y > x, "=": y == x, "q": y != x, "r": y <= x,
                 "v": y >= x}[lead]
            r = -1 if r else 0
        else:
            continue  # "!" and a left-over "(" push nothing
        st.append(num_text(r))
    if not st:
        raise FormulaError("empty result")
    return to_number(st[0])


def self_test():
    """The worked examples of the formula language."""
    cases = [("2 + 3 * 4", 14), ("(2 + 3) * 4", 20), ("2 ^ 3 ^ 2", 64), ("10 - 4 - 3", 3),
             ("- 5 + 3", -2), ("min(1 + 2 * 4|3)", 3), ("if 1 > 2 then 3", 0),
             ("if 2 > 1 then 3", 3), ("if 0 then 4 else 5", 5), ("(5 > 2) and (3 > 1)", -1),
             ("5 > 2 and 3 > 1", 0), ("1 / 3", 0.333333333333333),
             ("if (1)>(2) then (3) else if (4)<>(5)then(6)else(7)", 6), ("1 2", 1)]
    for text, want in cases:
        got = evaluate(parse_string(text, lambda n: None))
        if abs(got - want) > 1e-12:
            fault("formula self-test: %s gives %r, not %r" % (text, got, want))
    post = parse_string("if (1)>(2) then (3) else if (4)<>(5)then(6)else(7)", lambda n: None)
    if " ".join(post) != "1 2 > 3 j 4 5 q 6 j 7 o f o f":
        fault("formula self-test: postfix %s" % " ".join(post))


# ---------------------------------------------------------------------------------
# Param_base.mod
# ---------------------------------------------------------------------------------

PARAM_FIELDS = ["Pname", "Index", "vType", "pType", "MinVal", "MaxVal", "scale", "units_rus",
                "units_eng", "DefValue", "EngName", "RusName", "Mode_mes", "update_con",
                "IndexGroup"]
CALC_TAIL = ["prior_calc", "reason_calc", "type_calc"]
SIGNAL_PAGES = ["Signals_osc_page%d" % k for k in range(1, 7)]
RAW_RANGE = {"INT": (-32768, 32767), "UINT": (0, 65535)}

REQUIRED = ("HVER OPMOD INST ENMOD DINLEV MT DT IFL IWL MPI VSET VACT ISET IACT TSET TACT "
            "ENCR PRREV PRCTS PFREV PFCTS PINFRQ PERR AINVOL THETA PRINC PFINC OSCTRG MDFRQ "
            "MDTYP1 MDTYP2 RCFREQ CH1SEL CH2SEL CH3SEL CH4SEL TRGTYP TRGSRC TRGLEV TRGPOS "
            "OSCMOD IIT IIP1V IIP2V IIP3V IIP4V IIP1U IIP2U IIP3U IIP4U PCRT").split()
REQUIRED += ["F%d%s" % (n, s) for n in range(1, 5)
             for s in ("TYPE", "FRE", "QUA", "GL", "NUM0", "NUM1", "NUM2", "DEN1", "DEN2")]


class Database:
    def __init__(self, lines):
        self.params = []        # dicts in table order
        self.calc = []
        self.state_bits = {}    # slot -> dict
        self.app_bits = {}
        self.scope_bits = {}
        self.language = None
        self.lines_scanned = 0
        self.load(lines)

    def load(self, lines):
        last = "."
        group = subgroup = ""
        if len(lines) > 1:
            self.language = lines[1].split("=", 1)[1] if "=" in lines[1] else ""
        i = 0
        while i < len(lines):
            line = lines[i]
            if line == last:
                self.lines_scanned = i
                fault("Param_base.mod: scan ends early at line %d (%r)" % (i, line))
                return
            if line in ("[Group]", "[Subgroup]"):
                keys = ("Name_group", "name_group") if line == "[Group]" else (
                    "Name_subgroup", "Name_Subgroup")
                nxt = lines[i + 1] if i + 1 < len(lines) else ""
                key, _, rest = nxt.partition("=")
                if key not in keys:
                    fault("Param_base.mod line %d: %s not followed by its name" % (i, line))
                elif "," not in rest:
                    fault("Param_base.mod line %d: name without a comma" % (i + 1))
                else:
                    if line == "[Group]":
                        group = rest.split(",", 1)[0]
                    else:
                        subgroup = rest.split(",", 1)[0]
                i += 2
                continue
            first = line[:1]
            if first in "pP" and first:
                rec = self.param(i, line)
                if rec:
                    rec["NameGroup"], rec["NameSubgroup"] = group, subgroup
                    rec["position"] = len(self.params)
                    self.params.append(rec)
                last = line
            elif first in "rR" and first:
                self.calculated(i, line)
                last = line
            elif first in "cCaAoO" and first:
                pname = self.bit(i, line)
                if pname is not None:
                    last = pname[:3]
            i += 1
        self.lines_scanned = len(lines)

    def param(self, i, line):
        key, eq, rest = line.partition("=")
        fields = rest.split(",")
        if not eq or len(fields) != 15:
            fault("Param_base.mod line %d: %d fields, not 15" % (i, len(fields)))
            return None
        rec = dict(zip(PARAM_FIELDS, fields))
        rec["Numpar"], rec["line"] = key, i
        for f in ("Index", "MinVal", "MaxVal", "Mode_mes", "update_con", "IndexGroup"):
            if not is_int(rec[f]):
                fault("Param_base.mod line %d: %s %r is not an integer" % (i, f, rec[f]))
                return None
            rec[f] = int(rec[f])
        for f in ("scale", "DefValue"):
            if not is_real(rec[f]):
                fault("Param_base.mod line %d: %s %r is not a number" % (i, f, rec[f]))
                return None
            rec[f] = float(rec[f])
        if rec["scale"] == 0:
            fault("Param_base.mod line %d: scale 0" % i)
            rec["scale"] = 1.0
        return rec

    def calculated(self, i, line):
        fields = line.split(",")
        if len(fields) != 19:
            fault("Param_base.mod line %d: calculated line with %d fields, not 19" %
                  (i, len(fields)))
            return
        typed = fields[0][1:]
        key, eq, pname = fields[1].partition("=")
        if not eq or key[:1] not in "pP" or not key:
            fault("Param_base.mod line %d: calculated key %r" % (i, fields[1]))
            return
        rec = dict(zip(PARAM_FIELDS, [pname] + fields[2:16]))
        rec.update(dict(zip(CALC_TAIL, fields[16:])))
        rec["typeD"], rec["Numpar"], rec["line"] = typed, key, i
        for f in ("Index", "Mode_mes", "update_con", "IndexGroup") + tuple(CALC_TAIL):
            if not is_int(rec[f]):
                fault("Param_base.mod line %d: %s %r is not an integer" % (i, f, rec[f]))
                return
            rec[f] = int(rec[f])
        if not is_real(rec["scale"]):
            fault("Param_base.mod line %d: scale %r" % (i, rec["scale"]))
            return
        for f in ("MinVal", "MaxVal", "DefValue"):
            if "f:" not in rec[f] and not is_real(rec[f]):
                fault("Param_base.mod line %d: %s %r is neither number nor formula" %
                      (i, f, rec[f]))
        rec["num"] = next((p["position"] for p in self.params if p["Pname"] == pname), 0)
        self.calc.append(rec)

    def bit(self, i, line):
        prefix = line[:3]
        if prefix not in ("Col", "col", "App", "osc"):
            fault("Param_base.mod line %d: bit line prefix %r" % (i, prefix))
            return None
        key, eq, rest = line.partition("=")
        fields = rest.split(",")
        if not eq or len(fields) != 8:
            fault("Param_base.mod line %d: bit line with %d fields, not 8" % (i, len(fields)))
            return None
        pname, index, nbit, ptype, eng, rus, mode, grp = fields
        for f in (index, nbit, mode, grp):
            if not is_int(f):
                fault("Param_base.mod line %d: %r is not an integer" % (i, f))
                return None
        index, nbit, grp = int(index), int(nbit), int(grp)
        if not 0 <= nbit <= 15:
            fault("Param_base.mod line %d: bit number %d" % (i, nbit))
            return pname
        rec = {"Pname": pname, "Index": index, "nBit": nbit, "EngName": eng, "RusName": rus,
               "IndexGroup": grp, "line": i}
        if prefix.lower() == "col":
            table, bases, want_group = self.state_bits, {240: 0, 241: 16, 242: 32}, 6
        elif prefix == "App":
            table, bases, want_group = self.app_bits, {243: 0, 244: 16, 246: 32}, 7
        else:
            table, bases, want_group = self.scope_bits, {0: 0}, None
        if index not in bases:
            fault("Param_base.mod line %d: bit line for word %d is not stored" % (i, index))
            return pname
        if want_group is not None and grp != want_group:
            fault("Param_base.mod line %d: bit line group %d, not %d" % (i, grp, want_group))
        slot = bases[index] + nbit
        if slot in table:
            fault("Param_base.mod line %d: bit slot %d given twice" % (i, slot))
        if not pname or not eng or not rus:
            fault("Param_base.mod line %d: bit without name or caption" % i)
        table[slot] = rec
        return pname

    def find(self, pname):
        return next((p for p in self.params if p["Pname"] == pname), None)


def check_database(db, lists):
    params = db.params
    if db.language != "Eng":
        fault("Param_base.mod: language line gives %r, not Eng" % db.language)
    if not 150 <= len(params) <= 300:
        fault("Param_base.mod: %d parameters" % len(params))
    for field in ("Pname", "Index", "Numpar"):
        seen = {}
        for p in params:
            if p[field] in seen:
                fault("Param_base.mod: %s %r on lines %d and %d" %
                      (field, p[field], seen[p[field]], p["line"]))
            seen[p[field]] = p["line"]
    for p in params:
        where = "Param_base.mod line %d (%s)" % (p["line"], p["Pname"])
        if not re.fullmatch(r"[A-Z][A-Z0-9]*", p["Pname"]):
            fault(where + ": mnemonic not upper case")
        if not re.fullmatch(r"p\d{1,3}", p["Numpar"]):
            fault(where + ": key %r cannot be named by a formula" % p["Numpar"])
        if not 0 <= p["Index"] <= 255:
            fault(where + ": index out of 0..255")
        if p["vType"] not in RAW_RANGE:
            fault(where + ": type %r" % p["vType"])
            continue
        lo, hi = RAW_RANGE[p["vType"]]
        if not lo <= p["MinVal"] <= p["MaxVal"] <= hi:
            fault(where + ": limits %d..%d do not fit %s" % (p["MinVal"], p["MaxVal"], p["vType"]))
        if not p["MinVal"] <= p["DefValue"] <= p["MaxVal"]:
            fault(where + ": default %g outside %d..%d" % (p["DefValue"], p["MinVal"], p["MaxVal"]))
        if p["pType"] not in ("R-W", "R", "-", "W"):
            fault(where + ": access %r" % p["pType"])
        if not p["EngName"] or not p["RusName"]:
            fault(where + ": description missing")
        if p["EngName"] != p["EngName"].strip() or p["RusName"] != p["RusName"].strip():
            fault(where + ": description with outer blanks")
        if p["Mode_mes"] != 0 and p["pType"] not in ("R",):
            fault(where + ": a parameter without a row must be read-only (write-all would"
                  " send its untouched value)")
        shown = p["Mode_mes"] == 0 and 1 <= p["IndexGroup"] <= 5
        if p["NameSubgroup"] in SIGNAL_PAGES and shown:
            fault(where + ": scope signal with a page row")
    for name in REQUIRED:
        if not db.find(name):
            fault("Param_base.mod: mnemonic %s missing" % name)

    # Table positions with a fixed role.
    if len(params) > 1 and (params[0]["Pname"], params[1]["Pname"]) != ("SNH", "SNL"):
        fault("Param_base.mod: positions 0 and 1 are not the serial number words")
    for name in ("IIT", "IIP1V", "IIP2V", "IIP3V", "IIP4V", "IIP1U", "IIP2U", "IIP3U",
                 "IIP4U", "PCRT"):
        p = db.find(name)
        if p and p["position"] >= 150:
            fault("Param_base.mod: %s at position %d (the generator window looks at 0..149)"
                  % (name, p["position"]))
    hver = db.find("HVER")
    if hver and (hver["vType"] == "INT" or hver["pType"] in ("-", "")):
        fault("Param_base.mod: HVER must be unsigned and readable")
    for name in ("OPMOD", "INST", "ENMOD", "DINLEV", "MT", "DT", "MDFRQ", "MDTYP1", "MDTYP2",
                 "RCFREQ", "CH1SEL", "CH2SEL", "CH3SEL", "CH4SEL", "TRGTYP", "TRGSRC",
                 "TRGLEV", "TRGPOS", "IFL", "IWL", "MPI"):
        p = db.find(name)
        if p and not (p["Mode_mes"] == 0 and 1 <= p["IndexGroup"] <= 5):
            fault("Param_base.mod: %s has no row, so read-all would not keep its value" % name)
    expect = {"OPMOD": (1, 3), "INST": (0, 3), "MDFRQ": (1, 4), "RCFREQ": (0, 9),
              "TRGTYP": (0, 4), "TRGSRC": (1, 4), "TRGLEV": (-30000, 30000), "TRGPOS": (0, 2047),
              "OSCMOD": (0, 1), "IIT": (0, 4), "IIP1U": (0, 1), "IIP2U": (0, 1), "IIP3U": (0, 2),
              "IIP4U": (0, 2), "PCRT": (0, 20000)}
    for name, (lo, hi) in expect.items():
        p = db.find(name)
        if p and (p["MinVal"], p["MaxVal"]) != (lo, hi):
            fault("Param_base.mod: %s limits %d..%d, not %d..%d" %
                  (name, p["MinVal"], p["MaxVal"], lo, hi))

    # Status words.
    for word in (240, 241, 242, 243, 244, 246):
        if not any(p["Index"] == word for p in params):
            fault("Param_base.mod: no parameter for status word %d" % word)

    # Scope signals.
    signals = [p for p in params if p["NameSubgroup"] in SIGNAL_PAGES]
    if not 1 <= len(signals) <= 99:
        fault("Param_base.mod: %d scope signals" % len(signals))
    names = []
    for s in signals:
        for text in (s["EngName"], s["RusName"]):
            m = re.search(r"\(([^)]*)\)", text)
            if "-" in text:
                fault("scope signal %s: description holds '-'" % s["Pname"])
            if not m or m.group(1).strip() != s["Pname"]:
                fault("scope signal %s: description lacks (%s)" % (s["Pname"], s["Pname"]))
        names.append(s["Pname"])
    for name in ("STA", "DINSTA", "APXSTA"):
        if name not in names:
            fault("scope signal %s missing" % name)
    if not any(s["EngName"].startswith("Reserved") for s in signals):
        fault("no reserved scope signal")
    pages_used = {s["NameSubgroup"] for s in signals}
    if pages_used != set(SIGNAL_PAGES):
        fault("scope signal pages used: %s" % sorted(pages_used))
    for name in ("MDTYP1", "MDTYP2", "CH1SEL", "CH2SEL", "CH3SEL", "CH4SEL"):
        p = db.find(name)
        if p and (p["MinVal"], p["MaxVal"]) != (0, len(signals)):
            fault("Param_base.mod: %s limits do not match the %d scope signals" %
                  (name, len(signals)))
    if len(signals) >= 8 and (signals[6]["Pname"], signals[7]["Pname"]) != ("VSET", "VACT"):
        fault("scope signals 7 and 8 (the channel presets) are not VSET and VACT")

    # Function parameters against their lists.
    for prefix, fname in (("DIN", "digital_inp.dic"), ("DOUT", "digital_out.dic"),
                          ("AOUT", "analog_out.dic")):
        for p in params:
            if re.fullmatch(prefix + r"\d+", p["Pname"]):
                if (p["MinVal"], p["MaxVal"]) != (0, len(lists[fname]) - 1):
                    fault("%s: limits %d..%d do not match the %d names of %s" %
                          (p["Pname"], p["MinVal"], p["MaxVal"], len(lists[fname]), fname))

    # Bits.
    for slot in range(16):
        if slot not in db.state_bits:
            fault("state bit %d of word 240 not named" % slot)
    for name, table, used in (("state", db.state_bits, (0, 1, 3, 5, 7, 9, 14)),
                              ("application", db.app_bits, (1,))):
        for slot in used:
            if slot not in table:
                fault("%s bit slot %d not named" % (name, slot))
    if not any(b["IndexGroup"] == 6 for b in db.state_bits.values()):
        fault("no state bit of group 6")
    if not any(b["IndexGroup"] == 7 for b in db.app_bits.values()):
        fault("no application bit of group 7")
    for k in range(16, 32):
        if k in db.app_bits and not db.app_bits[k]["EngName"]:
            fault("digital input bit %d without a name" % (k - 16))
    dinlev = db.find("DINLEV")
    named_inputs = [k - 16 for k in db.app_bits if 16 <= k < 32]
    if dinlev and dinlev["MaxVal"] != (1 << (max(named_inputs) + 1)) - 1:
        fault("DINLEV limit does not cover the %d named digital inputs" % len(named_inputs))
    if not db.scope_bits:
        fault("no scope bit lines")
    return signals


def build_pages(db):
    """Page names per group, each with its row count, as the page builder builds them."""
    pages = []
    for g in range(1, 6):
        members = [p for p in db.params if p["IndexGroup"] == g and p["Mode_mes"] == 0]
        if g == 1:
            for p in members:
                if not pages or pages[-1][1] != p["NameSubgroup"] or pages[-1][0] != g:
                    if any(q[0] == g and q[1] == p["NameSubgroup"] for q in pages):
                        fault("group 1 subgroup %s is interrupted" % p["NameSubgroup"])
                    pages.append([g, p["NameSubgroup"], p["NameSubgroup"], 0])
                pages[-1][3] += 1
            continue
        n = 0
        for p in members:
            if (not pages or pages[-1][0] != g or pages[-1][1] != p["NameSubgroup"]
                    or pages[-1][3] == 16):
                n += 1
                pages.append([g, p["NameSubgroup"], "%s_page%d" % (p["NameSubgroup"], n), 0])
            pages[-1][3] += 1
    for g, sub, name, rows in pages:
        if rows > 16:
            fault("page %s has %d rows" % (name, rows))
    # Long subgroups of groups 2..5 stand first in their group (the settled case).
    for g in range(2, 6):
        subs = []
        for p in db.params:
            if p["IndexGroup"] == g and p["Mode_mes"] == 0:
                if not subs or subs[-1][0] != p["NameSubgroup"]:
                    subs.append([p["NameSubgroup"], 0])
                subs[-1][1] += 1
        for k, (sub, count) in enumerate(subs):
            if count > 16 and k > 0:
                fault("group %d: subgroup %s of %d rows follows another" % (g, sub, count))
    groups = {}
    for p in db.params:
        if 1 <= p["IndexGroup"] <= 5:
            groups.setdefault(p["IndexGroup"], set()).add(p["NameGroup"])
    for g, names in groups.items():
        if len(names) != 1:
            fault("group %d rows carry several group names %s" % (g, sorted(names)))
    if not any(rows > 16 for g, sub, name, rows in
               [(g, s, n, sum(1 for p in db.params if p["IndexGroup"] == g and p["Mode_mes"] == 0
                              and p["NameSubgroup"] == s)) for g, s, n, r in pages if g == 2]):
        fault("no subgroup of group 2 spans two pages")
    return pages, groups


def check_formulas(db, motors, drives):
    calc = db.calc
    if not calc:
        fault("no calculated parameters")
        return 0
    passes = set()
    for c in calc:
        where = "calculated %s (line %d)" % (c["Pname"], c["line"])
        if c["typeD"] != "f":
            fault(where + ": type %r, not f" % c["typeD"])
        if c["num"] == 0:
            fault(where + ": linked to position 0")
        p = db.params[c["num"]]
        if p["Pname"] != c["Pname"] or p["Numpar"] != c["Numpar"] or p["Index"] != c["Index"]:
            fault(where + ": does not match its parameter line")
        if not 1 <= c["prior_calc"] <= 99:
            fault(where + ": pass %d" % c["prior_calc"])
        passes.add(c["prior_calc"])
        tcalc = sum(bit for bit, f in ((1, "MinVal"), (2, "MaxVal"), (4, "DefValue"))
                    if "f:" in c[f])
        if tcalc == 0 or tcalc != c["type_calc"]:
            fault(where + ": type_calc %d, formula fields %d" % (c["type_calc"], tcalc))
        for f in ("MinVal", "MaxVal", "DefValue"):
            if "f:" in c[f]:
                if not c[f].startswith("f:"):
                    fault(where + ": %s formula does not start with f:" % f)
                for ref in re.findall(r"p\d*", c[f][2:]):
                    if not any(q["Numpar"] == ref for q in db.params):
                        fault(where + ": %s names %s, which no parameter has" % (f, ref))
            elif not is_int(c[f]) and f != "DefValue":
                fault(where + ": %s %r is not an integer" % (f, c[f]))
            elif "f:" not in c[f]:
                static = db.params[c["num"]][f]
                if float(c[f]) != static:
                    fault(where + ": %s %s differs from the parameter line" % (f, c[f]))
    if len(passes) < 2:
        fault("the formulas use only %d pass" % len(passes))

    header = motors[0].split()[1:]

    def run(values, dt, motor_line):
        """Applies DT and a motor line to raw values and evaluates all passes."""
        vals = dict(values)
        limits = {p["position"]: [p["MinVal"], p["MaxVal"], p["DefValue"]] for p in db.params}
        vals[db.find("DT")["position"]] = dt
        words = motor_line.split()[1:]
        for name, word in zip(header, words):
            vals[db.find(name)["position"]] = float(word)

        def lookup(key):
            q = next((q for q in db.params if q["Numpar"] == key), None)
            return None if q is None else vals[q["position"]]

        for n in range(1, 100):
            walked = False
            for c in calc:
                if c["typeD"] != "f":
                    break
                walked = True
                if c["prior_calc"] != n:
                    continue
                pos = c["num"]
                for k, f in enumerate(("MinVal", "MaxVal", "DefValue")):
                    if "f:" in c[f]:
                        r = evaluate(parse_string(c[f], lookup))
                        limits[pos][k] = math.trunc(r) if k < 2 else r
                        if k == 2:
                            vals[pos] = r
            if not walked:
                break
        return vals, limits

    base = {p["position"]: p["DefValue"] for p in db.params}
    runs = 0
    dt_default = int(db.find("DT")["DefValue"])
    mt_default = int(db.find("MT")["DefValue"])
    for dt in range(1, len(drives)):
        for k in range(2, len(motors)):
            try:
                vals, limits = run(base, dt, motors[k])
            except FormulaError as e:
                fault("formula evaluation fails for DT %d MT %d: %s" % (dt, k, e))
                continue
            runs += 1
            for p in db.params:
                lo, hi, d = limits[p["position"]]
                rlo, rhi = RAW_RANGE[p["vType"]]
                if not (rlo <= lo <= d <= hi <= rhi):
                    fault("DT %d MT %d: %s gets %g..%g default %g" %
                          (dt, k, p["Pname"], lo, hi, d))
                if abs(d - round(d)) > 1e-9:
                    fault("DT %d MT %d: %s default %r is not a whole raw value" %
                          (dt, k, p["Pname"], d))
            if (dt, k) == (dt_default, mt_default):
                for p in db.params:
                    if limits[p["position"]] != [p["MinVal"], p["MaxVal"], p["DefValue"]]:
                        fault("%s: parameter line %s..%s default %s, formulas give %s" %
                              (p["Pname"], p["MinVal"], p["MaxVal"], p["DefValue"],
                               limits[p["position"]]))
    return runs


# ---------------------------------------------------------------------------------
# Other files
# ---------------------------------------------------------------------------------

def check_types(db, motors, drives):
    header = motors[0].split()
    if header[:2] != ["Motor", "MT"]:
        fault("Motor_type.mod: header %r" % motors[0])
    for name in header[1:]:
        if not db.find(name):
            fault("Motor_type.mod: header names unknown mnemonic %s" % name)
    if not 11 <= len(motors) <= 101:
        fault("Motor_type.mod: %d motor lines" % (len(motors) - 1))
    mt = db.find("MT")
    if mt and (mt["MinVal"], mt["MaxVal"]) != (1, len(motors) - 1):
        fault("MT limits do not match the %d motors" % (len(motors) - 1))
    seen = set()
    for k, line in enumerate(motors[1:], start=1):
        words = line.split(" ")
        if "" in words:
            fault("Motor_type.mod line %d: double blank" % k)
        if words[0] in seen:
            fault("Motor_type.mod line %d: name %s twice" % (k, words[0]))
        seen.add(words[0])
        if len(words) < 2 or words[1] != str(k):
            fault("Motor_type.mod line %d: first value is not %d" % (k, k))
        if len(words) > len(header):
            fault("Motor_type.mod line %d: more values than mnemonics" % k)
        for name, word in zip(header[1:], words[1:]):
            p = db.find(name)
            if not is_int(word):
                fault("Motor_type.mod line %d: %s value %r" % (k, name, word))
            elif p and not p["MinVal"] <= int(word) <= p["MaxVal"]:
                fault("Motor_type.mod line %d: %s value %s outside %d..%d" %
                      (k, name, word, p["MinVal"], p["MaxVal"]))
    mdef = db.find("MT")
    if mdef:
        line = motors[int(mdef["DefValue"])].split()
        for name, word in zip(header[1:], line[1:]):
            p = db.find(name)
            if p and p["DefValue"] != float(word):
                fault("default motor line: %s %s, parameter default %g" %
                      (name, word, p["DefValue"]))
    if len(drives) != 11:
        fault("Drive_type.mod: %d lines, not a header and 10 types" % len(drives))
    for k, line in enumerate(drives[1:], start=1):
        words = line.split(" ")
        if len(words) != 2 or words[1] != str(k):
            fault("Drive_type.mod line %d: %r" % (k, line))
    dt = db.find("DT")
    if dt and (dt["MinVal"], dt["MaxVal"]) != (1, len(drives) - 1):
        fault("DT limits do not match the drive types")


# Numbered messages the program knows: 0..MESSAGE_COUNT-1.
MESSAGE_COUNT = 150


def check_messages(lines):
    if len(lines) != MESSAGE_COUNT:
        fault("mess.dic: %d lines, not %d" % (len(lines), MESSAGE_COUNT))
    texts = []
    for n, line in enumerate(lines):
        name, colon, rest = line.partition(":")
        eng, eq, rus = rest.partition("=")
        if not name or not colon or not eq:
            fault("mess.dic line %d: not name:English=Russian" % n)
        if not eng.strip() or not rus.strip():
            fault("mess.dic line %d: empty text" % n)
        texts.append((eng, rus))
    if len(texts) == MESSAGE_COUNT:
        if texts[32] != ("Eng", "Rus"):
            fault("mess.dic: message 32 is not Eng=Rus")
        if not (texts[71][0].isdigit() and texts[71][1].isdigit()):
            fault("mess.dic: message 71 is not a character set number")
        if texts[0][0].strip() == "":
            fault("mess.dic: no caption")
    return texts


def check_dictionary(lines, pages, groups):
    eng_seen, rus_seen = {}, {}
    for n, line in enumerate(lines):
        eng, eq, rus = line.partition("=")
        if not eq or not rus:
            fault("dict_eng.dic line %d carries no pair" % n)
            continue
        if eng in eng_seen:
            fault("dict_eng.dic: %r on lines %d and %d" % (eng, eng_seen[eng], n))
        if rus in rus_seen:
            fault("dict_eng.dic: Russian %r on lines %d and %d" % (rus, rus_seen[rus], n))
        eng_seen[eng], rus_seen[rus] = n, n
    for g, sub, name, rows in pages:
        if name not in eng_seen:
            fault("dict_eng.dic: page %s not translated" % name)
    for names in groups.values():
        for name in names:
            if name not in eng_seen:
                fault("dict_eng.dic: group %s not translated" % name)
    return len(eng_seen)


def check_list(name, lines):
    if not lines:
        fault("%s: empty" % name)
    for n, line in enumerate(lines):
        eng, eq, rus = line.partition("=")
        if not eng or not eq or not rus:
            fault("%s line %d: not English=Russian" % (name, n))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data")
    path = lambda name: os.path.join(folder, name)
    self_test()
    lists = {n: read_lines(path(n)) for n in ("digital_inp.dic", "digital_out.dic",
                                              "analog_out.dic")}
    for n, lines in lists.items():
        check_list(n, lines)
    db = Database(read_lines(path("Param_base.mod")))
    motors = read_lines(path("Motor_type.mod"), need_bom=False)
    drives = read_lines(path("Drive_type.mod"), need_bom=False)
    signals = check_database(db, lists)
    pages, groups = build_pages(db)
    check_types(db, motors, drives)
    runs = check_formulas(db, motors, drives)
    check_messages(read_lines(path("mess.dic")))
    pairs = check_dictionary(read_lines(path("dict_eng.dic")), pages, groups)
    for f in FAULTS:
        print("FAULT:", f)
    bits = len(db.state_bits) + len(db.app_bits) + len(db.scope_bits)
    print("%d parameters (%d with a row), %d calculated (%d passes, %d configurations "
          "evaluated), %d bits (%d state, %d application, %d scope), %d scope signals, "
          "%d pages, %d dictionary pairs, %d motors, %d drive types" %
          (len(db.params), sum(1 for p in db.params if p["Mode_mes"] == 0 and
                               1 <= p["IndexGroup"] <= 5),
           len(db.calc), len({c["prior_calc"] for c in db.calc}), runs, bits,
           len(db.state_bits), len(db.app_bits), len(db.scope_bits), len(signals),
           len(pages), pairs, len(motors) - 1, len(drives) - 1))
    print("clean" if not FAULTS else "%d faults" % len(FAULTS))
    return 1 if FAULTS else 0


if __name__ == "__main__":
    sys.exit(main())
