#include "core/export/htmlexportwriter.h"

namespace {

constexpr const char* s_head = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Katalox catalogs</title>
<style>
body { font-family: sans-serif; margin: 1em; }
#search { width: 24em; padding: 0.2em; }
#status { color: #555; margin-left: 1em; }
ul { list-style: none; margin: 0; padding-left: 1.4em; }
ul.top { padding-left: 0; }
li > .row { cursor: default; white-space: nowrap; }
.folder > .row::before { content: "\25B8  "; display: inline-block; width: 1.2em; }
.folder.open > .row::before { content: "\25BE  "; }
.file > .row::before { content: " "; display: inline-block; width: 1.2em; }
.folder > .row { cursor: pointer; }
.size, .date, .serial { color: #666; margin-left: 1em; font-size: 90%; }
.disc > .row { font-weight: bold; }
h2 { font-size: 110%; margin: 1em 0 0.3em 0; }
#results li { white-space: nowrap; }
.path { color: #666; }
.more { color: #36c; cursor: pointer; padding-left: 1.2em; }
</style>
</head>
<body>
<p><input id="search" type="search" placeholder="Search names" autocomplete="off"><span id="status"></span></p>
<ul id="results" class="top"></ul>
<div id="tree"></div>
<script id="catalogs" type="application/json">
)";

constexpr const char* s_tail = R"(
</script>
<script>
"use strict";
(function () {
  const data = JSON.parse(document.getElementById("catalogs").textContent);
  const units = ["bytes", "KB", "MB", "GB"];
  function sizeText(size) {
    let value = size, unit = 0;
    while (value >= 1024 && unit < units.length - 1) { value /= 1024; ++unit; }
    return unit === 0 ? size + " bytes" : value.toFixed(1) + " " + units[unit];
  }
  function span(className, text) {
    const element = document.createElement("span");
    element.className = className;
    element.textContent = text;
    return element;
  }
  function entryItem(entry) {
    const item = document.createElement("li");
    const row = document.createElement("span");
    row.className = "row";
    row.appendChild(document.createTextNode(entry.name));
    item.appendChild(row);
    if (entry.entries) {
      item.className = "folder";
      row.appendChild(span("size", entry.entries.length + " entries"));
      row.addEventListener("click", function () { toggle(item, entry.entries); });
    } else {
      item.className = "file";
      row.appendChild(span("size", sizeText(entry.size)));
      if (entry.modified) { row.appendChild(span("date", entry.modified.replace("T", " "))); }
    }
    return item;
  }
  // A folder's entries are drawn when it first opens, and a large folder's a few hundred at a time as
  // the user scrolls to the end of those drawn: a page of a million entries draws only what is seen.
  const chunk = 400;
  const more = "IntersectionObserver" in window ? new IntersectionObserver(function (seen) {
    for (const entry of seen) {
      if (entry.isIntersecting) { entry.target.drawMore(); }
    }
  }) : null;
  function drawFrom(list, entries, first) {
    const fragment = document.createDocumentFragment();
    const end = Math.min(entries.length, first + chunk);
    for (let i = first; i < end; ++i) { fragment.appendChild(entryItem(entries[i])); }
    if (end < entries.length) {
      const rest = document.createElement("li");
      rest.className = "more";
      rest.textContent = (entries.length - end) + " more \u2026";
      rest.drawMore = function () {
        if (more) { more.unobserve(rest); }
        rest.remove();
        drawFrom(list, entries, end);
      };
      rest.addEventListener("click", rest.drawMore);
      fragment.appendChild(rest);
      if (more) { more.observe(rest); }
    }
    list.appendChild(fragment);
  }
  function toggle(item, entries) {
    let list = item.querySelector(":scope > ul");
    if (!list) {
      list = document.createElement("ul");
      item.appendChild(list);
      drawFrom(list, entries, 0);
    } else {
      list.hidden = !list.hidden;
    }
    item.classList.toggle("open", !list.hidden);
  }
  const tree = document.getElementById("tree");
  for (const fileset of data.filesets) {
    const heading = document.createElement("h2");
    heading.textContent = fileset.owner + " \u2014 " + fileset.name;
    tree.appendChild(heading);
    const discs = document.createElement("ul");
    discs.className = "top";
    for (const disc of fileset.discs) {
      const item = entryItem({ name: disc.title, entries: disc.entries });
      item.classList.add("disc");
      item.firstChild.appendChild(span("serial", disc.serial));
      if (disc.scanned) { item.firstChild.appendChild(span("date", disc.scanned.replace("T", " "))); }
      discs.appendChild(item);
    }
    tree.appendChild(discs);
  }
  const search = document.getElementById("search");
  const results = document.getElementById("results");
  const status = document.getElementById("status");
  const limit = 1000;
  function find(text) {
    results.textContent = "";
    status.textContent = "";
    if (text.length === 0) { tree.hidden = false; return; }
    tree.hidden = true;
    const needle = text.toLowerCase();
    let found = 0;
    const fragment = document.createDocumentFragment();
    function walk(entries, path) {
      for (const entry of entries) {
        if (entry.name.toLowerCase().includes(needle)) {
          ++found;
          if (found <= limit) {
            const item = document.createElement("li");
            item.appendChild(span("path", path));
            item.appendChild(document.createTextNode(entry.name + (entry.entries ? "/" : "")));
            if (!entry.entries) { item.appendChild(span("size", sizeText(entry.size))); }
            fragment.appendChild(item);
          }
        }
        if (entry.entries) { walk(entry.entries, path + entry.name + "/"); }
      }
    }
    for (const fileset of data.filesets) {
      for (const disc of fileset.discs) { walk(disc.entries, disc.title + ": /"); }
    }
    results.appendChild(fragment);
    status.textContent = found > limit ? found + " found, the first " + limit + " shown" : found + " found";
  }
  let pending = 0;
  search.addEventListener("input", function () {
    clearTimeout(pending);
    pending = setTimeout(function () { find(search.value); }, 200);
  });
})();
</script>
</body>
</html>
)";

} // namespace

HtmlExportWriter::HtmlExportWriter()
    : m_data(true)
{
}

void HtmlExportWriter::begin(ExportBuffer& out)
{
    out += s_head;
    m_data.begin(out);
}

void HtmlExportWriter::finish(ExportBuffer& out)
{
    m_data.finish(out);
    out += s_tail;
}
