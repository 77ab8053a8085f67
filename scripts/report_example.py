#!/usr/bin/env python3
"""A day of a room's value log and audit trail for the report's pictures: 2026-12-09 at
+01:00, a row every 10 s; the operator raises the temperature set point from 12.50 to
14.00 at 09:00; the room is up to 1.8 degrees warm from 14:00 to 14:35; climon stopped
from 20:00 to 21:30. Usage: report_example.py HEADER_FROM OUT_DIR"""
import math
import sys

header = open(sys.argv[1], newline="").readline()
columns = header.count(",") + 1
out = sys.argv[2]
rows = [header]
for s in range(0, 86400, 10):
    if 20 * 3600 < s < 21 * 3600 + 1800:
        continue  # climon stopped
    h = s / 3600
    set_c = 12.5 if h < 9 else 14.0
    temp = set_c + 0.3 * math.sin(h * 2.1)
    if 14 <= h < 14 + 35 / 60:
        temp = set_c + 1.8 * math.sin((h - 14) / (35 / 60) * math.pi) + 0.2
    hum = 85 + 2 * math.cos(h / 3)
    fields = ["%.2f" % temp, "%.2f" % set_c, "%.2f" % hum, "85.00", "%.3f" % (1.5 + 0.1 * math.sin(h)),
              "1.500"]
    t = "2026-12-09T%02d:%02d:%02d.000+01:00" % (s // 3600, s // 60 % 60, s % 60)
    row = [t, "1", "1"] + fields
    rows.append(",".join(row + [""] * (columns - len(row))) + "\r\n")
open(out + "/room.csv", "w", newline="").write("".join(rows))
open(out + "/audit.csv", "w", newline="").write(
    "time,port,room,user,event,detail,reply\r\n"
    "2026-12-09T00:00:00.000+01:00,1,Room 3,ana,start,\"variant 1, model 512, version 1\",\r\n"
    "2026-12-09T09:00:02.000+01:00,1,Room 3,ana,terminal,WR DM890 140,OK\r\n"
    "2026-12-09T14:41:10.000+01:00,1,Room 3,ana,terminal,RD DM890,00140\r\n"
    "2026-12-09T20:00:00.000+01:00,1,Room 3,ana,end,ESC,\r\n"
    "2026-12-09T21:30:00.000+01:00,1,Room 3,ana,start,\"variant 1, model 512, version 1\",\r\n")
