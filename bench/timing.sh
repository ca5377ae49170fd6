# Timing helpers of the benchmark scripts, sourced by them. The caller sets
# rounds (timed rounds; the fastest counts), verify (fennick-verify) and
# roots (a PEM file of the roots its images chain to, for osslsigncode), and
# FENNICK_TRUSTED_CERTS for fennick-verify.

# require_verified FILE...: stops the benchmark unless every image verifies.
require_verified() {
  local verified
  verified=$("$verify" --type pe "$@" | grep -c $'\tVerified\t' || true)
  if ((verified != $#)); then
    echo "only $verified of $# images verified" >&2
    exit 1
  fi
}

# osslsigncode_each FILE...: osslsigncode verify, one run per file.
osslsigncode_each() {
  local file
  for file in "$@"; do
    osslsigncode verify -CAfile "$roots" -TSA-CAfile "$roots" -in "$file"
  done
}

# best_time COMMAND...: "WALL CPU", the fastest wall-clock time and the
# smallest processor time (user and system, the command's processes
# together) of the rounds, in seconds. On a busy machine the processor time
# is the steadier measure.
best_time() {
  local best_wall="" best_cpu="" measured wall user system cpu
  for ((round = 0; round < rounds; round++)); do
    measured=$( { TIMEFORMAT='%R %U %S'; time "$@" > /dev/null 2>&1; } 2>&1 | tail -n 1)
    read -r wall user system <<<"$measured"
    cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.3f", u + s }')
    if [[ -z $best_wall ]] || awk -v a="$wall" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then best_wall=$wall; fi
    if [[ -z $best_cpu ]] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then best_cpu=$cpu; fi
  done
  echo "$best_wall $best_cpu"
}

# compare_header GOAL-A1 GOAL-A GOAL-B: the legend and column heads of
# compare's lines, with the goals of the ratios.
compare_header() {
  echo "Best of $rounds rounds, page cache warm; times in seconds, wall and processor (user+system)."
  echo "ratio A1: fennick-verify --jobs 1 / openssl dgst -sha256 (goal $1 or less)"
  echo "ratio A: fennick-verify, one thread per processor ($(nproc)) / openssl dgst -sha256, wall (goal $2 or less)"
  echo "ratio B: osslsigncode verify, one run per file / fennick-verify --jobs 1 (goal $3 or more)"
  echo "                         |  openssl dgst   | verify --jobs 1 | fennick-verify  |  osslsigncode   |  ratio A1   | A     |  ratio B"
  echo "images    files       MB |    wall     cpu |    wall     cpu |    wall     cpu |    wall     cpu |  wall   cpu |  wall |  wall   cpu"
}

# compare LABEL FILE...: one line of times and ratios for those files.
compare() {
  local label=$1
  shift
  local bytes digest_wall digest_cpu one_wall one_cpu all_wall all_cpu theirs_wall theirs_cpu
  bytes=$(cat "$@" | wc -c)
  read -r digest_wall digest_cpu <<<"$(best_time openssl dgst -sha256 "$@")"
  read -r one_wall one_cpu <<<"$(best_time "$verify" --jobs 1 --type pe "$@")"
  read -r all_wall all_cpu <<<"$(best_time "$verify" --type pe "$@")"
  read -r theirs_wall theirs_cpu <<<"$(best_time osslsigncode_each "$@")"
  awk -v label="$label" -v n="$#" -v bytes="$bytes" \
    -v dw="$digest_wall" -v dc="$digest_cpu" -v ow="$one_wall" -v oc="$one_cpu" \
    -v aw="$all_wall" -v ac="$all_cpu" -v tw="$theirs_wall" -v tc="$theirs_cpu" 'BEGIN {
      printf "%-9s %5d %8.1f | %7.3f %7.3f | %7.3f %7.3f | %7.3f %7.3f | %7.3f %7.3f | %5.2f %5.2f | %5.2f | %5.1f %5.1f\n",
        label, n, bytes / 1048576, dw, dc, ow, oc, aw, ac, tw, tc, ow / dw, oc / dc, aw / dw, tw / ow, tc / oc
    }'
}
