#!/usr/bin/env python3
"""Appends realistic log lines to a file about once a second, until killed."""
import datetime
import random
import sys
import time

SERVICES = ["sshd", "nginx", "postfix", "cron", "app-api", "db-pool"]
ADDRESSES = ["127.0.0.1", "10.0.4.17", "192.168.1.20", "172.16.8.3", "127.0.0.1"]
MESSAGES = {
    "INFO": ["request served in {ms} ms from {ip}", "session opened for user deploy from {ip}",
             "connection pool size {n}", "job finished, {n} rows processed", "cache hit ratio 0.{n}"],
    "DEBUG": ["polling queue, {n} items", "heartbeat from {ip}"],
    "WARN": ["slow query ({ms} ms) from {ip}", "retrying connection to {ip} (attempt {n})",
             "disk usage at {n}%"],
    "ERROR": ["connection refused by {ip}", "timeout after {ms} ms talking to {ip}",
              "failed password for root from {ip} port {port} ssh2"],
}
LEVELS = ["INFO"] * 14 + ["DEBUG"] * 3 + ["WARN"] * 2 + ["ERROR"] * 2


def line() -> str:
    level = random.choice(LEVELS)
    text = random.choice(MESSAGES[level]).format(
        ms=random.randint(3, 4000), ip=random.choice(ADDRESSES), n=random.randint(1, 99),
        port=random.randint(1024, 65535))
    stamp = datetime.datetime.now().strftime("%Y-%m-%d %H:%M:%S.%f")[:-3]
    return f"{stamp} {level:<5} [{random.choice(SERVICES)}] {text}\n"


def main() -> None:
    path = sys.argv[1]
    with open(path, "a", encoding="utf-8") as out:
        for _ in range(30):
            out.write(line())
        out.flush()
        while True:
            time.sleep(1.0)
            for _ in range(random.randint(1, 3)):
                out.write(line())
            out.flush()


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        pass
