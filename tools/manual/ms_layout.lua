-- Layout of the manual for groff's ms macros, applied by pandoc while it writes ms:
-- tables sized by what their cells hold, with a header that repeats on every page they
-- run onto, and headings in the accent colour.

-- Measures in ems of the table font. Helvetica letters average about half an em and
-- Courier's are 0.6 em; the line holds LINE_EMS of them beside the column gaps.
local TABLE_POINTS = 9
local LINE_POINTS = 17 / 2.54 * 72  -- the text width of manual.ms, 17 cm
local GAP_EMS = 1.5                 -- tbl's default column gap is 3n, that is 1.5 em
local LINE_EMS = LINE_POINTS / TABLE_POINTS

local function ems(inlines, bold)
  local scale = bold and 1.12 or 1
  local width, longest, word = 0, 0, 0
  local function add(text, per_char)
    for _, code in utf8.codes(text) do
      if code == 32 then
        longest = math.max(longest, word)
        word = 0
        width = width + 0.28
      else
        word = word + per_char * scale
        width = width + per_char * scale
      end
    end
  end
  pandoc.walk_block(pandoc.Plain(inlines), {
    Str = function(s) add(s.text, 0.52) end,
    Space = function() add(" ", 0) end,
    -- Code, already ms by now: its spaces do not break.
    RawInline = function(r) add((r.text:gsub("\\f%[%a*%]", ""):gsub("\\ ", "_")), 0.6) end,
  })
  -- A little slack: the measure is an average, and a word must never overflow.
  return width + 0.3, math.max(longest, word) + 0.3
end

-- Each column gets at least its longest word, so identifiers never break; the rest of
-- the line goes to the columns by how much more they hold.
local function column_widths(rows, bold_rows, count)
  local natural, minimum = {}, {}
  for i = 1, count do
    natural[i], minimum[i] = 2, 2
  end
  for r, cells in ipairs(rows) do
    for i, inlines in ipairs(cells) do
      local width, longest = ems(inlines, r <= bold_rows)
      natural[i] = math.max(natural[i], width)
      minimum[i] = math.max(minimum[i], longest)
    end
  end
  local room = LINE_EMS - GAP_EMS * (count - 1) - 0.5
  local total, fixed = 0, 0
  for i = 1, count do
    total = total + natural[i]
    fixed = fixed + minimum[i]
  end
  local widths = {}
  for i = 1, count do
    if total <= room then
      widths[i] = natural[i]
    elseif total > fixed then
      widths[i] = minimum[i] + (room - fixed) * (natural[i] - minimum[i]) / (total - fixed)
    else
      widths[i] = room / count
    end
  end
  return widths
end

local function ms_text(inlines)
  local text = pandoc.write(pandoc.Pandoc({pandoc.Plain(inlines)}), "ms")
  return (text:gsub("\n+$", ""))
end

-- Every cell is a text block set ragged right (justified narrow columns gape), with
-- a little air above and below its text.
local function row_text(cells, bold)
  local parts = {}
  for _, inlines in ipairs(cells) do
    if bold then
      inlines = {pandoc.Strong(inlines)}
    end
    table.insert(parts, "T{\n.ad l\n.sp 2p\n" .. ms_text(inlines) .. "\n.sp 1p\nT}")
  end
  return table.concat(parts, "\t")
end

local ALIGN = {AlignRight = "r", AlignCenter = "c"}

function Table(tbl)
  local function add_rows(rows, into)
    for _, row in ipairs(rows) do
      local cells = {}
      for _, cell in ipairs(row.cells) do
        table.insert(cells, pandoc.utils.blocks_to_inlines(cell.contents))
      end
      table.insert(into, cells)
    end
  end
  local head, body, all = {}, {}, {}
  add_rows(tbl.head.rows, head)
  for _, section in ipairs(tbl.bodies) do
    add_rows(section.body, body)
  end
  add_rows(tbl.head.rows, all)
  for _, cells in ipairs(body) do
    table.insert(all, cells)
  end
  local count = #tbl.colspecs
  local widths = column_widths(all, #head, count)

  local format = {}
  for i = 1, count do
    format[i] = string.format("%sw(%.2fm)", ALIGN[tbl.colspecs[i][1]] or "l", widths[i])
  end
  -- .LP ends whatever came before (a heading leaves bold on) and spaces as paragraphs do;
  -- a table starts where a few of its rows fit below the header.
  local lines = {
    ".LP",
    ".ps " .. TABLE_POINTS .. "p",
    ".vs " .. (TABLE_POINTS + 2.5) .. "p",
    ".ne 8v",
    ".TS H",
    "tab(\t);",
    table.concat(format, " ") .. ".",
  }
  table.insert(lines, "_")
  for _, cells in ipairs(head) do
    table.insert(lines, row_text(cells, true))
  end
  table.insert(lines, "_")
  table.insert(lines, ".TH")
  for _, cells in ipairs(body) do
    table.insert(lines, row_text(cells, false))
    table.insert(lines, "_")
  end
  table.insert(lines, ".TE")
  table.insert(lines, ".ps \\n[PS]u")
  table.insert(lines, ".vs \\n[VS]u")
  return pandoc.RawBlock("ms", table.concat(lines, "\n"))
end

-- Code never breaks at its spaces: "Sin(x) *" at a line's end reads as a typo.
function Code(c)
  local text = ms_text({c}):gsub("\n", " ")
  return pandoc.RawInline("ms", (text:gsub(" ", "\\ ")))
end

-- Code blocks a little smaller than the text, so that a whole command line fits the
-- width, and set off by an indent.
local function roff_line(line)
  return "\\&" .. line:gsub("\\", "\\e")
end

function CodeBlock(block)
  local lines = {}
  for line in (block.text .. "\n"):gmatch("(.-)\n") do
    table.insert(lines, roff_line(line))
  end
  return pandoc.RawBlock("ms", table.concat({
    ".LP",
    ".ps " .. TABLE_POINTS .. "p",
    ".vs " .. (TABLE_POINTS + 2.5) .. "p",
    ".in +1.5m",
    ".nf",
    ".ft C",
    table.concat(lines, "\n"),
    ".ft",
    ".fi",
    ".in",
    ".ps \\n[PS]u",
    ".vs \\n[VS]u",
  }, "\n"))
end

-- A heading never ends a page: it needs room for a few lines of what follows, or for
-- the start of a table (see Table).
function Header(h)
  table.insert(h.content, 1, pandoc.RawInline("ms", "\\m[accent]"))
  table.insert(h.content, pandoc.RawInline("ms", "\\m[]"))
  -- Back to the text size at once: a list right below measures its indent in the
  -- current size.
  -- The break first: .ne alone would carry the last line of the paragraph before over
  -- to the new page with the heading.
  return {pandoc.RawBlock("ms", ".br\n.ne 12v"), h, pandoc.RawBlock("ms", ".ps \\n[PS]u")}
end
