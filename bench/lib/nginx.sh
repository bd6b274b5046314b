# (In lib/, so that scripts/bench does not take it for a benchmark.)
# Sourced by the benchmarks that serve a generated site with nginx:
#   free_port FIRST LAST          prints a port of 127.0.0.1 nobody listens on
#   start_nginx WORK PORT [LOG]   serves WORK/site on PORT (LOG: an access_log
#                                 directive, default off) and waits for it;
#                                 sets nginx_pid for the caller's clean-up
free_port() {
  local p
  for p in $(seq "$1" "$2"); do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then echo "$p"; return 0; fi
  done
  return 1
}

start_nginx() {
  local work=$1 port=$2 log=${3:-access_log off;}
  cat >"$work/nginx.conf" <<CONF
worker_processes 2;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 4096; }
http {
  $log
  sendfile on;
  keepalive_requests 100000;
  default_type text/html;
  server { listen 127.0.0.1:$port; root $work/site; }
}
CONF
  nginx -c "$work/nginx.conf" -g 'daemon off;' &
  nginx_pid=$!
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.05
  done
}
