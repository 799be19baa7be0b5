#!/usr/bin/env python3
"""Runs a command and appends the CPU seconds (user + system) it and its
waited-for children used to a file: cpu_of.py REPORT -- command args..."""
import resource
import subprocess
import sys

report, command = sys.argv[1], sys.argv[3:]
status = subprocess.call(command)
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
with open(report, "a") as f:
    f.write("%.3f\n" % (usage.ru_utime + usage.ru_stime))
sys.exit(status)
