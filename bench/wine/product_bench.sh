#!/usr/bin/env bash
# The product under Wine: Selvane.exe (windows-test build) fetches into an
# empty C:\Windows\kvl\ (a) one 256 MiB file of mixed data and (b) 2000 small
# text files, from the reference server on 127.0.0.1:5975 with its containers
# made and cached before the program starts. The folder step is timed from the
# server's side (--log-times): from the RecompoePastaKVL request to the
# AtualizaPastaKVL request that follows it, so the program's fixed waits are
# left out; the step's figure includes putting the files in place and the
# next step's listing of the folder. The Windows process's peak resident
# memory (VmHWM) is read from /proc while it runs. Beside it, in the same Wine:
# bench/wine/minimal_client.exe receiving, inflating and writing the same
# container (Winsock, zlib, CreateFileW/WriteFile, 1 MiB buffers), and
# creating, writing and closing the same number of small files, with and
# without a rename each, and doing so with each file asked for and received
# on one connection first, one request and its reply at a time, as the
# update server's connection carries them (the least the protocol allows).
#
#   bench/wine/product_bench.sh [--build build/windows-test] [--server PATH] [--work DIR] [--quick] [--runs N]
#                               [--big-mib N] [--files N]
#
# --server defaults to the bench preset's Release server; --quick uses 8 MiB
# and 100 files; each figure is the best of --runs runs (3; 1 when quick);
# --big-mib and --files set the sizes alone (after --quick, they win).
# The run holds /tmp/selvane-5975.lock for the fixed port.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$root/build/windows-test
server=$root/build/bench/selvane-update-server
work=/tmp/selvane-product-bench
big_size=$((256 << 20)) small_count=2000 runs=3
args=("$@")
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --server) server=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --quick) big_size=$((8 << 20)); small_count=100; runs=1; shift ;;
    --runs) runs=$2; shift 2 ;;
    --big-mib) big_size=$(($2 << 20)); shift 2 ;;
    --files) small_count=$2; shift 2 ;;
    *) echo "product_bench: unknown option $1" >&2; exit 2 ;;
  esac
done
selvane=$build/Selvane.exe
minimal=$build/bench/wine/minimal_client.exe
for f in "$selvane" "$minimal" "$server"; do
  [ -f "$f" ] || { echo "product_bench: missing $f (build windows-test: Selvane minimal_client; bench: selvane-update-server)" >&2; exit 2; }
done

# One run at a time on the fixed port, whoever else wants it.
if [ -z "${SELVANE_5975_LOCKED:-}" ]; then
  export SELVANE_5975_LOCKED=1
  exec flock /tmp/selvane-5975.lock "$0" "${args[@]}"
fi

# shellcheck source=../../tests/wine/wine-env.sh
source "$root/tests/wine/wine-env.sh"
mkdir -p "$work"
work=$(cd "$work" && pwd)
server_pid="" raw_pid=""
cleanup() {
  for p in $server_pid $raw_pid; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  wine_cleanup
}
trap cleanup EXIT

# --- Data -------------------------------------------------------------------
make_repo() {  # make_repo DIR: the repository without KVL's files
  rm -rf "$1"
  mkdir -p "$1/ECF" "$1/KVL" "$1/updater"
  cp "$selvane" "$1/updater/Selvane.exe"
  touch -d "2024-03-15 10:30:00" "$1/updater/Selvane.exe"
}
big_repo=$work/repo-big small_repo=$work/repo-small
if [ "$(stat -c %s "$big_repo/KVL/big.bin" 2>/dev/null || echo 0)" != "$big_size" ]; then
  make_repo "$big_repo"
  # Files this machine ships, libraries first, as the program's own data would be.
  { find /usr/lib /usr/share /usr/bin -type f -size +4k 2>/dev/null | sort | xargs -d '\n' cat 2>/dev/null || true; } |
    head -c "$big_size" >"$big_repo/KVL/big.bin"
fi
if [ "$(find "$small_repo/KVL" -type f 2>/dev/null | wc -l)" != "$small_count" ]; then
  make_repo "$small_repo"
  # Text of 2 to 20 KB each, words of the machine's licence texts.
  python3 - "$small_repo/KVL" "$small_count" <<'PY'
import os, sys
words = []
for d, _, fs in os.walk("/usr/share/common-licenses"):
    for f in sorted(fs):
        try:
            words += open(os.path.join(d, f), errors="replace").read().split()
        except OSError:
            pass
words = words[:50000] or ["venda", "caixa", "cupom", "fiscal", "produto", "estoque"]
x, w = 7, 0
for i in range(int(sys.argv[2])):
    x = (x * 1103515245 + 12345) & 0xffffffff
    size = 2048 + (x >> 8) % (18 * 1024)
    parts, n = [], 0
    while n < size:
        t = words[w % len(words)] + ("\r\n" if (w + 1) % 12 == 0 else " ")
        w += 1
        parts.append(t)
        n += len(t)
    open(os.path.join(sys.argv[1], "t%04d.txt" % i), "w", newline="").write("".join(parts)[:size])
PY
fi

# --- Wine -------------------------------------------------------------------
wine_env_init "$work/prefix"
wine_start_xvfb || exit 1
wine_prefix_ensure || { echo "product_bench: cannot prepare the Wine prefix" >&2; exit 1; }
drive_c=$(wine_drive_c)
ecf=$drive_c/Kavel/ECF kvl=$drive_c/windows/kvl
mkdir -p "$ecf"
cp "$selvane" "$ecf/Selvane.exe"
cp "$minimal" "$drive_c/minimal_client.exe"
touch -r "$big_repo/updater/Selvane.exe" "$ecf/Selvane.exe"  # the served updater is this one: no self-update

port_open() { (exec 3<>/dev/tcp/127.0.0.1/"$1") 2>/dev/null; }

# True when the cache holds a container of every file's present size (a cache
# kept from an earlier run holds others too).
containers_made() {  # containers_made REPO CACHE
  find "$1" -type f -printf '%s\n' | while read -r size; do
    compgen -G "$2/*-$size-*.zc" >/dev/null || return 1
  done
}

start_server() {  # start_server REPO: serves it with cached containers, all made before it returns
  local repo=$1 cache=$1.cache
  mkdir -p "$cache"
  if port_open 5975; then echo "product_bench: port 5975 is in use" >&2; exit 1; fi
  "$server" --root "$repo" --port 5975 --cache-dir "$cache" --log-times >"$work/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 600); do
    containers_made "$repo" "$cache" && port_open 5975 && break
    sleep 0.5
  done
  port_open 5975 || { echo "product_bench: the server did not start" >&2; cat "$work/server.log" >&2; exit 1; }
}
stop_server() { kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=""; }

# Peak resident memory (MiB) of this prefix's process whose command line holds NAME, read while it runs.
# The process is looked for until found and then only its status is read,
# twice a second: VmHWM is the kernel's own high-water mark, so rare reads
# lose nothing, while reading other processes' command lines and
# environments often (pgrep -f) takes their memory map's lock and halved
# the program's speed under Wine.
peak_while_running() {  # peak_while_running NAME PID-TO-WAIT-FOR
  local name=$1 wait_pid=$2 peak=0 p kb found=""
  while kill -0 "$wait_pid" 2>/dev/null; do
    if [ -z "$found" ]; then
      for p in $(pgrep -f "$name" || true); do
        grep -qz "^WINEPREFIX=$WINEPREFIX\$" "/proc/$p/environ" 2>/dev/null && found="$found $p"
      done
    fi
    for p in $found; do
      kb=$(awk '/^VmHWM:/ { print $2 }' "/proc/$p/status" 2>/dev/null || echo 0)
      [ -n "$kb" ] && [ "$kb" -gt "$peak" ] && peak=$kb
    done
    if [ -n "$found" ]; then sleep 0.5; else sleep 0.05; fi
  done
  echo "scale=1; $peak / 1024" | bc
}

# One run of the program in the edition folder; prints "SECONDS VMHWM_MIB".
product_run() {
  rm -rf "$kvl"
  mkdir -p "$kvl"
  local before
  before=$(wc -l <"$work/server.log")
  (cd "$ecf" && exec "$WINELOADER" 'C:\Kavel\ECF\Selvane.exe' >"$work/selvane.log" 2>&1) &
  local pid=$! peak
  # The program ends itself after starting the (absent) system; a watcher ends it
  # once the step's end is in the log, so that a stuck run cannot hold the lock.
  (
    for _ in $(seq 1200); do
      tail -n +"$((before + 1))" "$work/server.log" | grep -q 'calls TServidor.AtualizaPastaKVL' && break
      sleep 0.25
    done
    sleep 2
    "$WINESERVER" -k 2>/dev/null || true
  ) &
  local watcher=$!
  peak=$(peak_while_running 'Kavel.ECF.Selvane.exe' "$pid")
  wait "$pid" 2>/dev/null || true
  wait "$watcher" 2>/dev/null || true
  local seconds
  seconds=$(tail -n +"$((before + 1))" "$work/server.log" >"$work/run.log"; awk \
    '$4 == "calls" && $5 == "TServidor.RecompoePastaKVL" { t0 = $1 }
     $4 == "calls" && $5 == "TServidor.AtualizaPastaKVL" && t0 { print $1 - t0; exit }' \
    "$work/run.log")
  [ -n "$seconds" ] || { echo "product_bench: the folder step did not end; see $work" >&2; exit 1; }
  echo "$seconds $peak"
}

# One run of the minimal client; prints "SECONDS VMHWM_MIB".
minimal_run() {
  local out="$work/minimal.out"
  # A floor that hangs must not hold the lock: it gets ten minutes.
  (cd "$drive_c" && exec timeout 600 "$WINELOADER" 'C:\minimal_client.exe' "$@" >"$out" 2>/dev/null) &
  local pid=$! peak
  peak=$(peak_while_running 'minimal_client.exe' "$pid")
  wait "$pid" || { echo "product_bench: minimal_client $* failed" >&2; exit 1; }
  echo "$(tr -d '\r' <"$out") $peak"
}

best_of() {  # best_of N COMMAND...: the fastest run's seconds, the largest VmHWM
  local n=$1 best="" peak=0 s m
  shift
  for _ in $(seq "$n"); do
    read -r s m < <("$@")
    if [ -z "$best" ] || [ "$(echo "$s < $best" | bc)" = 1 ]; then best=$s; fi
    if [ "$(echo "$m > $peak" | bc)" = 1 ]; then peak=$m; fi
  done
  echo "$best $peak"
}

row() {  # row LABEL UNIT VALUE FLOOR VMHWM FLOOR_VMHWM
  awk -v l="$1" -v u="$2" -v v="$3" -v f="$4" -v m="$5" -v fm="$6" \
    'BEGIN { printf "%-40s %10.1f %-7s floor %10.1f  ratio %5.2f   VmHWM %7.1f MiB (floor %6.1f MiB)\n", l, v, u, f, v / f, m, fm }'
}

# A raw peer for the minimal client: to each line "SIZE\n" on a connection, the
# cached container of the file of that size, as it is. The cache is read once,
# before the port opens, so that a request costs only its reply.
start_raw_peer() {  # start_raw_peer CACHE_DIR PORT
  python3 - "$1" "$2" <<'PY' &
import os, re, socket, sys
cache, port = sys.argv[1], int(sys.argv[2])
by_size = {}
for f in sorted(os.listdir(cache)):
    m = re.fullmatch(r"[0-9a-f]+-([0-9]+)--?[0-9]+\.zc", f)  # path hash, size, time
    if m:
        by_size.setdefault(m.group(1), os.path.join(cache, f))
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", port))
s.listen(4)
while True:
    c, _ = s.accept()
    c.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    try:
        with c, c.makefile("rb") as lines:  # an unknown size ends the connection
            for line in lines:
                path = by_size.get(line.strip().decode())
                if path is None:
                    break
                with open(path, "rb") as f:
                    c.sendfile(f)
    except OSError:
        pass  # a probe of the port, or a client gone
PY
  raw_pid=$!
  for _ in $(seq 100); do port_open "$2" && return 0; sleep 0.1; done
  echo "product_bench: the raw peer did not start" >&2
  exit 1
}

echo "Selvane.exe under Wine against the reference server on loopback, containers cached; floors by minimal_client.exe"
echo

# --- (a) one big file -------------------------------------------------------
start_server "$big_repo"
raw_port=5976
start_raw_peer "$big_repo.cache" "$raw_port"
container=$(find "$big_repo.cache" -name "*-$big_size-*.zc" -printf '%s\n' | head -n1)
printf '%d MiB mixed file: container %.1f MB (%.2f of the file)\n' $((big_size >> 20)) \
  "$(echo "$container / 1000000" | bc -l)" "$(echo "$container / $big_size" | bc -l)"
read -r sync_s sync_m < <(best_of "$runs" product_run)
cmp -s "$kvl/big.bin" "$big_repo/KVL/big.bin" || { echo "product_bench: the fetched file differs" >&2; exit 1; }
read -r floor_s floor_m < <(best_of "$runs" minimal_run fetch "$raw_port" "$big_size" 'C:\floor.bin')
rm -f "$drive_c/floor.bin"
mb=$(echo "$big_size / 1000000" | bc -l)
row "Selvane.exe, $((big_size >> 20)) MiB file" MB/s "$(echo "$mb / $sync_s" | bc -l)" "$(echo "$mb / $floor_s" | bc -l)" \
  "$sync_m" "$floor_m"
kill "$raw_pid"; wait "$raw_pid" 2>/dev/null || true; raw_pid=""
stop_server

# --- (b) small files ----------------------------------------------------------
start_server "$small_repo"
read -r sync_s sync_m < <(best_of "$runs" product_run)
diff -rq "$kvl" "$small_repo/KVL" >/dev/null || { echo "product_bench: the fetched files differ" >&2; exit 1; }
stop_server
floor_dir=$drive_c/small-floor
fresh_floor() { rm -rf "$floor_dir"; mkdir -p "$floor_dir"; minimal_run small 'C:\small-floor' "$small_count" "$@"; }
read -r new_s new_m < <(best_of "$runs" fresh_floor)
read -r ren_s ren_m < <(best_of "$runs" fresh_floor rename)
start_raw_peer "$small_repo.cache" "$raw_port"
fresh_rounds() { rm -rf "$floor_dir"; mkdir -p "$floor_dir"; minimal_run rounds "$raw_port" 'C:\small-floor' "$small_count"; }
read -r rounds_s rounds_m < <(best_of "$runs" fresh_rounds)
kill "$raw_pid"; wait "$raw_pid" 2>/dev/null || true; raw_pid=""
rm -rf "$floor_dir"
row "Selvane.exe, $small_count new small files" files/s "$(echo "$small_count / $sync_s" | bc -l)" \
  "$(echo "$small_count / $new_s" | bc -l)" "$sync_m" "$new_m"
row "  beside temporary + rename" files/s "$(echo "$small_count / $sync_s" | bc -l)" \
  "$(echo "$small_count / $ren_s" | bc -l)" "$sync_m" "$ren_m"
row "  beside a request and reply each" files/s "$(echo "$small_count / $sync_s" | bc -l)" \
  "$(echo "$small_count / $rounds_s" | bc -l)" "$sync_m" "$rounds_m"
