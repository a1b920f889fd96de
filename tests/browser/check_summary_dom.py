"""Checks the DOM that Chromium rendered from the fixture fleet's Summary.html
(tests/summary/FleetFixture.h): one line per check, "ok: ..." or "FAILED: ...";
exit status 1 when any failed."""
import sys
from html.parser import HTMLParser

HOSTILE = "<script>document.title='owned'</script>"


class Dom(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.title = ""
        self.in_title = False
        self.elements = []  # (tag, attrs)
        self.ids = {}  # id -> text
        self.open_id = []  # stack of (tag, id or None)
        self.tables = {}  # table id -> list of rows, each a list of (tag, text)
        self.table_stack = []
        self.row = None
        self.cell = None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        self.elements.append((tag, attrs))
        if tag == "title":
            self.in_title = True
        if tag == "table":
            self.table_stack.append(attrs.get("id") or "")
            self.tables.setdefault(self.table_stack[-1], [])
        elif tag == "tr" and self.table_stack:
            self.row = []
            self.tables[self.table_stack[-1]].append(self.row)
        elif tag in ("td", "th") and self.row is not None:
            self.cell = [tag, ""]
            self.row.append(self.cell)
        if "id" in attrs:
            self.ids[attrs["id"]] = ""
        self.open_id.append((tag, attrs.get("id")))

    def handle_endtag(self, tag):
        if tag == "title":
            self.in_title = False
        if tag == "table" and self.table_stack:
            self.table_stack.pop()
        if tag in ("td", "th"):
            self.cell = None
        while self.open_id:
            t, _ = self.open_id.pop()
            if t == tag:
                break

    def handle_data(self, data):
        if self.in_title:
            self.title += data
        if self.cell is not None:
            self.cell[1] += data
        for _, element_id in self.open_id:
            if element_id:
                self.ids[element_id] += data


def data_rows(rows):
    return [r for r in rows if r and all(tag == "td" for tag, _ in r)]


def main():
    dom = Dom()
    with open(sys.argv[1], encoding="utf-8") as f:
        dom.feed(f.read())
    results = []

    def check(what, ok, detail=""):
        results.append(ok)
        print(("ok: " if ok else "FAILED: ") + what + ("" if ok else " (" + detail + ")"))

    check("the title is the page's own, no script changed it", dom.title == "Movara: the sets in D:\\Moves", dom.title)
    injected = [(t, a) for t, a in dom.elements
                if t in ("script", "img", "iframe", "object", "embed") or any(k.startswith("on") for k in a)]
    check("no hostile name became an element or a handler", not injected, repr(injected[:3]))
    hrefs = [a.get("href", "") for t, a in dom.elements if t == "a"]
    relative = all(h and ":" not in h.split("/")[0] and ".." not in h.split("/") for h in hrefs)
    check("every link is a relative path below the folder", len(hrefs) == 9 and relative, repr(hrefs))
    check("the hostile folder's link is escaped", "PC4/eve%20%26%20%231%25/" in hrefs, repr(hrefs))
    counts = {k[6:]: v.strip() for k, v in dom.ids.items() if k.startswith("count-")}
    expected = {"sets": "9", "machines": "6", "users": "7", "failures": "8", "servers": "4", "drives": "7",
                "printers": "7"}
    check("the counts", counts == expected, repr(counts))
    rows = {name: len(data_rows(dom.tables.get(name, []))) for name in ("servers", "users", "applications", "failures")}
    check("the tables' rows", rows == {"servers": 4, "users": 9, "applications": 5, "failures": 8}, repr(rows))
    apps = [r[0][1] for r in data_rows(dom.tables.get("applications", []))]
    check("a hostile name shows as the text it is", HOSTILE in apps, repr(apps))
    groups = [r[0][1] for r in dom.tables.get("failures", []) if len(r) == 1 and r[0][0] == "th"]
    check("failures grouped by reason", [g.split(":")[0] for g in groups] ==
          ["error 5", "error 53", "error 11001", "error 1722", "no user is logged on"], repr(groups))
    widths = [a.get("style", "") for t, a in dom.elements if t == "div" and a.get("class") == "fill"]
    check("bars drawn as plain blocks, the largest full", len(widths) == 14 and widths.count("width: 100%") >= 3,
          repr(widths))
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
